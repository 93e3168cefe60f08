#include "startup/startup.h"

#include <objbase.h>

#include "app/application.h"
#include "startup/single_instance.h"
#include "common/product_info.h"
#include "common/text.h"
#include "telemetry/installer_events.h"
#include "ui/install_flow.h"

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

int RunFirstInstance() {
    telemetry::SendAppOpened();
    ComApartment com;
    app::Initialize(kApplicationTitle);
    ui::InstallFlow flow;
    if (!flow.Begin()) return 1;
    return app::RunMessageLoop();
}

}  // namespace

int RunInstaller() {
    app::InstanceMutex mutex(Widen(kApplicationTitle));
    if (mutex.AlreadyRunning()) {
        MessageBoxW(nullptr, Widen(kAlreadyRunning).c_str(), app::DefaultTitle().c_str(), MB_OK | MB_ICONERROR);
        return 0;
    }
    // The mutex is released when this returns or unwinds, so whatever goes
    // wrong in the run, the next start is not refused.
    try {
        return RunFirstInstance();
    } catch (...) {
        return 1;
    }
}

}  // namespace tovarin
