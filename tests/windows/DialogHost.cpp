// A Windows host for the configuration dialog's end-to-end test. It loads
// VaveZAZ.dll as a host does, opens the camera on port 1 when asked, and calls
// configureCamera on its main thread, where the dialog runs modally as Windows
// hosts expect. Meanwhile a second thread reports what the user sees of the
// sheet whenever it changes: whether OK is enabled, and the status bar's text.
// Afterwards it reads the keys it was given from VaveZAZ.ini through the
// system's own profile API.
//
// With --finalize, another thread calls finalize once the sheet shows, as a
// host that shuts down while its user has the dialog open.
//
// Usage: dialog_host.exe SYSTEM_DIR CAMERA [--open] [--finalize] [SECTION/KEY ...]
// Prints "log: ...", "sheet: ...", "result: N" and "read: [SECTION] KEY=VALUE".

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/cvl-host/HostLibrary.h"

namespace {

std::mutex printing;

void Print(const std::string& line) {
    std::lock_guard<std::mutex> lock(printing);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void OnLog(const char* text) {
    std::string line = text != nullptr ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    Print("log: " + line);
}

// What the sheet shows of its state, or "" while no sheet is shown.
std::string SheetState(const std::wstring& caption) {
    HWND sheet = ::FindWindowW(nullptr, caption.c_str());
    if (sheet == nullptr) {
        return "";
    }
    HWND ok = ::GetDlgItem(sheet, IDOK);
    HWND bar = ::GetDlgItem(sheet, 105);
    std::string state = ok != nullptr && ::IsWindowEnabled(ok) ? "ok=enabled" : "ok=disabled";
    char text[512] = {};
    DWORD_PTR ignored = 0;
    if (bar != nullptr) {
        // The bar lives on the dialog's thread: asked with a bound wait, so
        // a sheet that closes meanwhile cannot hold this thread up.
        ::SendMessageTimeoutA(bar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 1000,
                              &ignored);
    }
    return state + " status=" + text;
}

// Reports every change of the sheet's state until told to stop.
class SheetWatch {
  public:
    explicit SheetWatch(const std::string& camera)
        : caption_(L"Configure camera: " + std::wstring(camera.begin(), camera.end())),
          thread_([this] { Watch(); }) {}
    ~SheetWatch() {
        stop_ = true;
        thread_.join();
    }

  private:
    void Watch() {
        std::string shown;
        while (!stop_) {
            const std::string state = SheetState(caption_);
            if (state != shown && !state.empty()) {
                Print("sheet: " + state);
            }
            shown = state;
            ::Sleep(30);
        }
    }

    std::wstring caption_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void PrintSetting(const std::string& systemDir, const std::string& sectionAndKey) {
    const size_t slash = sectionAndKey.rfind('/');
    const std::string section = sectionAndKey.substr(0, slash);
    const std::string key = sectionAndKey.substr(slash + 1);
    const std::string file = systemDir + "\\VaveZAZ.ini";
    char value[256] = {};
    ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "(missing)", value, sizeof(value),
                               file.c_str());
    Print("read: [" + section + "] " + key + "=" + value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: dialog_host.exe SYSTEM_DIR CAMERA [--open] [SECTION/KEY ...]\n");
        return 2;
    }
    const std::string systemDir = argv[1];
    const std::string camera = argv[2];
    std::vector<std::string> keys;
    bool open = false;
    bool finalizeWhileShown = false;
    for (int index = 3; index < argc; ++index) {
        const std::string argument = argv[index];
        open = open || argument == "--open";
        finalizeWhileShown = finalizeWhileShown || argument == "--finalize";
        if (argument != "--open" && argument != "--finalize") {
            keys.push_back(argument);
        }
    }
    HostLibrary driver("VaveZAZ.dll");
    if (driver.initialize(systemDir.c_str(), &OnLog) != 1) {
        Print("initialize failed");
        return 1;
    }
    int size[2] = {0, 0};
    if (open && driver.openCVLPort(0, 1, camera.c_str(), size) != 1) {
        Print("openCVLPort failed");
    }
    int result = -1;
    {
        SheetWatch watch(camera);
        std::thread finalizer;
        if (finalizeWhileShown) {
            finalizer = std::thread([&driver, &camera] {
                const std::wstring caption =
                    L"Configure camera: " + std::wstring(camera.begin(), camera.end());
                while (::FindWindowW(nullptr, caption.c_str()) == nullptr) {
                    ::Sleep(30);
                }
                Print("finalize: " + std::to_string(driver.finalize()));
            });
        }
        result = driver.configureCamera(nullptr, camera.c_str());
        if (finalizer.joinable()) {
            finalizer.join();
        }
    }
    Print("result: " + std::to_string(result));
    if (!finalizeWhileShown) {
        if (open) {
            driver.closeCVLPort(0, 1);
        }
        driver.finalize();
    }
    for (const std::string& key : keys) {
        PrintSetting(systemDir, key);
    }
    return 0;
}
