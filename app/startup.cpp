#include "app/startup.h"

#include <objbase.h>

#include "app/application.h"
#include "app/main_window_factory.h"
#include "app/single_instance.h"
#include "common/product_info.h"
#include "common/text.h"
#include "telemetry/installer_events.h"

namespace tovarin {
namespace {

constexpr char kAlreadyRunning[] = "Tovarin安装程序已经运行！ ";

// COM on the user-interface thread, single-threaded: the shell links need it.
class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (ok_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool ok_;
};

int RunFirstInstance(HINSTANCE instance) {
    telemetry::SendAppOpened();
    ComApartment com;
    app::Initialize(kApplicationTitle);
    if (!app::CreateInstallerMainWindow(instance)) return 1;
    return app::RunMessageLoop();
}

}  // namespace

int RunInstaller(HINSTANCE instance) {
    app::InstanceMutex mutex(Widen(kApplicationTitle));
    if (mutex.AlreadyRunning()) {
        MessageBoxW(nullptr, Widen(kAlreadyRunning).c_str(), app::DefaultTitle().c_str(), MB_OK | MB_ICONERROR);
        return 0;
    }
    // The mutex is released when this returns or unwinds, so whatever goes
    // wrong in the run, the next start is not refused.
    try {
        return RunFirstInstance(instance);
    } catch (...) {
        return 1;
    }
}

}  // namespace tovarin
