// The host tool's command line: what it accepts, what it refuses and what it
// says then, and that every example its help shows is a command line it
// accepts.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/cvl-host/CommandLine.h"
#include "tools/cvl-host/CommandTable.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/HelpText.h"
#include "tools/cvl-host/Suggest.h"

namespace {

const char* const kLibrary = "/opt/vavezaz/lib/libvavezaz.so.1";

CommandLine Parse(const std::vector<std::string>& words) {
    return ParseCommandLine(words, kLibrary);
}

// The words a shell makes of an example: single quotes group, and the
// variables set before the program and the program itself are dropped.
std::vector<std::string> ShellWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (char c : line + " ") {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    while (!words.empty() && words.front() != "cvl-host") {
        words.erase(words.begin());
    }
    words.erase(words.begin());
    return words;
}

// The message of the usage error `words` make; fails when they make none.
std::string UsageError(const std::vector<std::string>& words) {
    try {
        Parse(words);
    } catch (const ToolError& e) {
        EXPECT_EQ(ExitCode::kUsage, e.Code()) << e.what();
        return e.what();
    }
    ADD_FAILURE() << "accepted: " << ::testing::PrintToString(words);
    return "";
}

}  // namespace

TEST(HostToolCommandLine, WithoutWordsItGrabsThreeImagesOnPortOne) {
    const CommandLine line = Parse({});
    EXPECT_EQ("grab", line.command);
    EXPECT_EQ(3, line.options.count);
    EXPECT_EQ(1, line.options.port);
    EXPECT_EQ(0.0, line.options.durationSeconds);
    EXPECT_EQ(kLibrary, line.global.library);
    EXPECT_EQ("cvl-host-system", line.global.systemDir);
}

TEST(HostToolCommandLine, OptionsMayStandBeforeOrAfterTheCommand) {
    const CommandLine before = Parse({"--system-dir", "d", "--camera", "A.1", "props"});
    const CommandLine after = Parse({"props", "--camera", "A.1", "--system-dir", "d"});
    for (const CommandLine& line : {before, after}) {
        EXPECT_EQ("props", line.command);
        EXPECT_EQ("A.1", line.options.camera);
        EXPECT_EQ("d", line.global.systemDir);
    }
    const CommandLine settings = Parse({"settings", "Cam.1", "'ImageFormat=3D (XYZ)'", "A=1"});
    EXPECT_EQ(3u, settings.arguments.size());
    const CommandLine stream = Parse({"grab", "--continuous", "--duration", "2.5", "-q"});
    EXPECT_EQ(2.5, stream.options.durationSeconds);
    EXPECT_TRUE(stream.global.quiet);
}

TEST(HostToolCommandLine, ValuesFollowTheirOptionOrAnEqualsSign) {
    const CommandLine props = Parse({"props", "--set", "A=1", "--set=B=2", "--port=3", "-hv"});
    EXPECT_EQ((std::vector<std::string>{"A=1", "B=2"}), props.options.settings);
    EXPECT_EQ(3, props.options.port);
    EXPECT_TRUE(props.global.help && props.global.verbose) << "short flags may share a dash";
    // --set takes one word: the next is an argument of the command again.
    EXPECT_NE(std::string::npos, UsageError({"props", "--set", "A=1", "B=2"}).find("'B=2'"));
}

TEST(HostToolCommandLine, HelpNamesItsTopic) {
    const CommandLine toolHelp = Parse({"--help"});
    EXPECT_EQ("help", toolHelp.command) << "no command: the tool's help";
    EXPECT_FALSE(toolHelp.global.help) << "the same as the help command alone";
    EXPECT_TRUE(Parse({"help", "--help"}).global.help) << "the help of help";
    const CommandLine grabHelp = Parse({"grab", "--help"});
    EXPECT_EQ("grab", grabHelp.command);
    EXPECT_TRUE(grabHelp.global.help);
    // An option of another command does not stand in the way of the help.
    EXPECT_TRUE(Parse({"list", "--count", "2", "-h"}).global.help);
    const CommandLine helpGrab = Parse({"help", "grab"});
    EXPECT_EQ("help", helpGrab.command);
    EXPECT_EQ(std::vector<std::string>{"grab"}, helpGrab.arguments);
}

TEST(HostToolCommandLine, WrongLinesAreUsageErrorsThatSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> wrong = {
        {{"lsit"}, "did you mean 'list'?"},
        {{"frobnicate"}, "The commands: grab, list, props, configure, view, info, settings, help"},
        {{"help", "grba"}, "did you mean 'grab'?"},
        {{"grab", "--durtion", "3"}, "did you mean --duration?"},
        {{"list", "--count", "2"}, "--count is not an option of list, but of grab"},
        {{"info", "--camera", "A.1"}, "but of grab, props, configure, view, settings"},
        {{"list", "extra"}, "list takes no argument, not 'extra'"},
        {{"configure", "A.1", "B.1"}, "configure takes [NAME.N], not also 'B.1'"},
        {{"--port", "20"}, "--port must be 0 to 19, not 20"},
        {{"--port", "-1"}, "--port must be 0 to 19"},
        {{"--port", "one"}, "--port"},
        {{"--count", "0"}, "--count must be at least 1"},
        {{"--timeout-ms", "0"}, "--timeout-ms must be at least 1"},
        {{"--duration", "2"}, "needs --continuous"},
        {{"--continuous", "--duration", "0"}, "above 0"},
        {{"--continuous", "--duration", "-3"}, "above 0"},
        {{"--continuous", "--duration", "nan"}, "above 0"},
        {{"--continuous", "--duration", "1e12"}, "below a year"},
        {{"--continuous", "--duration", "2", "--count", "5"}, "cannot both be given"},
        {{"-q", "-v", "list"}, "--quiet and --verbose cannot both be given"},
        {{"--camera"}, "camera"},
    };
    for (const auto& [words, expected] : wrong) {
        const std::string message = UsageError(words);
        EXPECT_NE(std::string::npos, message.find(expected))
            << ::testing::PrintToString(words) << " said: " << message;
    }
}

TEST(HostToolCommandLine, EveryExampleInTheHelpIsACommandLineTheToolAccepts) {
    for (const CommandInfo& command : CommandTable()) {
        ASSERT_FALSE(command.examples.empty()) << command.name << " shows no example";
        for (const CommandExample& example : command.examples) {
            std::vector<std::string> words = ShellWords(example.commandLine);
            CommandLine line;
            ASSERT_NO_THROW(line = Parse(words)) << example.commandLine;
            const std::string meant = line.command == "help" && !line.arguments.empty()
                                          ? line.arguments[0]
                                          : line.command;
            EXPECT_TRUE(meant == command.name || line.command == command.name)
                << example.commandLine << " is an example of " << command.name;
        }
    }
}

TEST(HostToolHelp, EachCommandsHelpListsExactlyTheOptionsItAccepts) {
    std::ostringstream tool;
    PrintToolHelp(tool, kLibrary);
    for (const CommandInfo& command : CommandTable()) {
        EXPECT_NE(std::string::npos, tool.str().find("\n  " + std::string(command.name) + " "))
            << command.name << " is missing from the tool's help";
        std::ostringstream help;
        PrintCommandHelp(help, command, kLibrary);
        EXPECT_EQ(0u, help.str().find("usage: cvl-host " + std::string(command.name)));
        for (const std::string& option : command.options) {
            EXPECT_NE(std::string::npos, help.str().find("\n  --" + option + " "))
                << command.name << " help lacks --" << option;
            // And the parser takes it for this command.
            std::vector<std::string> words{command.name, "--" + option};
            if (option != "continuous" && option != "open") {
                words.push_back(option == "set" ? "A=1" : option == "duration" ? "1" : "2");
            }
            if (option == "duration") {
                words.push_back("--continuous");
            }
            EXPECT_NO_THROW(Parse(words)) << ::testing::PrintToString(words);
        }
    }
    for (const ExitCodeInfo& code : ExitCodes()) {
        EXPECT_NE(std::string::npos,
                  tool.str().find("\n  " + std::to_string(Status(code.code)) + " "))
            << code.name;
    }
}

TEST(HostToolSuggestions, ASlipFindsTheNameAndNonsenseFindsNone) {
    const std::vector<std::string> commands{"grab", "list", "props", "configure", "info"};
    EXPECT_EQ("list", Nearest("lsit", commands)) << "two letters swapped";
    EXPECT_EQ("list", Nearest("LIST", commands)) << "case";
    EXPECT_EQ("configure", Nearest("confgure", commands)) << "a letter left out";
    EXPECT_EQ("props", Nearest("prop", commands));
    EXPECT_EQ("", Nearest("xyz", commands));
    EXPECT_EQ("", Nearest("", commands));
    EXPECT_EQ("", Nearest("grabbing", commands)) << "four letters more is no slip";
    EXPECT_EQ("a, b", JoinNames({"a", "b"}));
    EXPECT_EQ("--a, --b", JoinNames({"a", "b"}, "--"));
}
