#include "config/dialog/DialogService.h"

#include <atomic>
#include <stdexcept>

namespace {

class NoDialogService : public DialogService {
  public:
    bool RunSheet(HWND, const std::string&, CameraParameters&, CameraParameters&,
                  const SheetSaver&) override {
        Unavailable();
    }
    bool Confirm(HWND, const std::string&, const std::string&) override { Unavailable(); }
    void Notify(HWND, const std::string&, const std::string&) override { Unavailable(); }

  private:
    [[noreturn]] static void Unavailable() {
        throw std::runtime_error("the configuration dialog is not available");
    }
};

// Constant-initialised, so a service installed by another library's static
// initialisation is never overwritten.
std::atomic<DialogService*> installed{nullptr};

}  // namespace

DialogService& GetDialogService() {
    DialogService* service = installed.load();
    if (service != nullptr) {
        return *service;
    }
    static NoDialogService none;
    return none;
}

DialogService* InstallDialogService(DialogService* service) {
    return installed.exchange(service);
}
