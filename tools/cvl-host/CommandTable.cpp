#include "tools/cvl-host/CommandTable.h"

namespace {

CommandInfo Grab() {
    return {"grab",
            "",
            0,
            "grab images from a camera configuration and write them, or stream and report live "
            "(the default)",
            "Opens the configuration on --port and grabs --count images, one doCVLGrab each "
            "(--continuous: the camera hands on every buffer without one). Every row is read with "
            "getCVLGrabRow; a grayscale image is written as a PGM file, a point cloud as a PLY "
            "file with its point count and bounds, what Y measures (millimetres of encoder travel, "
            "or scans) and whether the points are calibrated. The driver's statistics follow.\n"
            "With --continuous --duration SECONDS it streams instead: one status line per second "
            "(images per second, images handed to the host, the driver's frames, dropped buffers, "
            "grabs while busy, lost packets, overtriggers), nothing written, and a summary at the "
            "end. Ctrl-C ends the stream early, with the summary.",
            {"camera", "port", "count", "continuous", "duration", "out", "timeout-ms"},
            {{"cvl-host grab --count 5", "five images of the first configuration offered"},
             {"cvl-host grab --camera 192.168.0.10.1 --out /tmp/images",
              "three images of the camera at 192.168.0.10, into /tmp/images"},
             {"cvl-host grab --continuous --duration 10",
              "stream for ten seconds, a status line each second"},
             {"cvl-host --quiet grab --continuous --duration 60",
              "the same for a script: only the summary, errors and the exit status"}}};
}

CommandInfo List() {
    return {"list",
            "",
            0,
            "print the camera configurations the driver offers",
            "Asks the driver for its camera configurations (getCVLCameraConfigNames): four per "
            "camera found on the network, NAME.1 to NAME.4. With --quiet, the names alone, one a "
            "line.",
            {},
            {{"cvl-host list", "the configurations of every camera found"},
             {"ICONSIM_CONFIG=cameras.xml cvl-host list", "the simulated cameras of a file"}}};
}

CommandInfo Props() {
    return {"props",
            "",
            0,
            "print the properties of an opened port; --set writes first",
            "Opens the configuration on --port and prints each property with its range "
            "(getProperty, getPropertyRange). Every --set NAME=VALUE is written with setProperty "
            "first; one the driver does not store makes the exit status 1.",
            {"camera", "port", "set"},
            {{"cvl-host props", "the properties of the first configuration offered"},
             {"cvl-host props --camera 192.168.0.10.1 --set NumberOfScans=256 --set LogLevel=2",
              "write two properties, then print them all"}}};
}

CommandInfo Configure() {
    return {"configure",
            "[NAME.N]",
            1,
            "open the driver's configuration dialog and print what was saved",
            "Opens the driver's configuration dialog (configureCamera) for a camera configuration "
            "(default: the first offered) and prints each key of VaveZAZ.ini that changed. It "
            "needs a display. --open opens the configuration on --port first, so the dialog also "
            "shows the port's image settings. Cancel saves nothing: the exit status is then 1.",
            {"camera", "port", "open", "parent"},
            {{"cvl-host configure", "the dialog of the first configuration offered"},
             {"cvl-host configure 192.168.0.10.1 --open",
              "the camera at 192.168.0.10, with its image settings"}}};
}

CommandInfo View() {
    return {"view",
            "[NAME.N]",
            1,
            "show a configuration's images live in a window",
            "Opens the configuration (default: the first offered) on --port in continuous mode "
            "and draws the newest image at most 30 times a second, skipping those it cannot draw "
            "in time; the completion callback only copies the image. A grayscale image is shown "
            "scaled to the window, with the pixel under the mouse; a point cloud as a height map "
            "(X across, Y along the belt, colour by Z) with the profile of one scan beside it "
            "(click the map to choose it, L for the latest) and the height window's limits. The "
            "status line shows the stream's figures. Keys: P pauses, S saves a snapshot into "
            "--out, C opens the configuration dialog and reopens the port, Esc closes. It needs a "
            "display; closing the window or Ctrl-C closes the port and prints the stream's "
            "summary.",
            {"camera", "port", "out", "snapshot-png", "close-after"},
            {{"cvl-host view", "the first configuration offered"},
             {"cvl-host view 192.168.0.10.1 --port 2", "the camera at 192.168.0.10 on port 2"},
             {"cvl-host view --close-after 5 --snapshot-png view.png",
              "five seconds, then the last picture drawn into view.png"}}};
}

CommandInfo Info() {
    return {"info",
            "",
            0,
            "print the driver's constants",
            "Prints the number of grabbers and ports the driver serves "
            "(getCVLMaxNoOfGrabbers, getCVLMaxNoOfPorts).",
            {},
            {{"cvl-host info", "grabbers and ports"}}};
}

CommandInfo Settings() {
    return {"settings",
            "NAME.N [KEY=VALUE ...]",
            -1,
            "show or write a configuration's settings in VaveZAZ.ini (no camera needed)",
            "Shows the image settings of configuration NAME.N, its camera's settings and the "
            "log settings ([General]) in the system directory's VaveZAZ.ini; each KEY=VALUE, of "
            "any of the three, is checked first and written through the driver's own settings "
            "code, keeping every other line of the file. Nothing is written when one is wrong. "
            "The driver reads them when the configuration is next opened.",
            {"camera"},
            {{"cvl-host settings 192.168.0.10.1", "show the settings"},
             {"cvl-host settings 192.168.0.10.1 'ImageFormat=3D (XYZ)' CalibrationFilter=Enabled",
              "make calibrated point clouds"},
             {"cvl-host settings 192.168.0.10.1 NumberOfScans=256 LogLevel=2",
              "smaller buffers, and more log lines"}}};
}

CommandInfo Help() {
    return {"help",
            "[COMMAND]",
            1,
            "show the help of the tool or of one command",
            "Without a command, the commands, the options every command takes and the exit "
            "statuses; with one, that command's options and examples (the same as COMMAND "
            "--help).",
            {},
            {{"cvl-host help grab", "the options and examples of grab"}}};
}

}  // namespace

const std::vector<CommandInfo>& CommandTable() {
    static const std::vector<CommandInfo> table = {Grab(), List(), Props(),    Configure(),
                                                   View(), Info(), Settings(), Help()};
    return table;
}

const CommandInfo* FindCommand(const std::string& name) {
    for (const CommandInfo& command : CommandTable()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}
