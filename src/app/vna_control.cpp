// libvnactl: the exported functions of vna_control.h over the library's one program state, with
// the platform behind it that a host program allows: no window, the system's serial calls, the
// system clock and the file registry.

#define VNA_EXPORT __attribute__((visibility("default")))

#include "extctl/vna_control.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "cal/cal_file.h"
#include "core/data_folder.h"
#include "core/program.h"
#include "extctl/exported.h"
#include "platform/file_registry.h"
#include "platform/library_ui.h"
#include "platform/null_devices.h"
#include "platform/posix/posix_serial_port.h"
#include "platform/system_clock.h"

namespace {

using vna::core::Program;

const char* GetEnv(const char* name) {
    return std::getenv(name);
}

// The program inside the library, made at the first call.
class Library {
public:
    Library() {
        const vna::core::DataFolderResult data =
            vna::core::ChooseDataFolder(GetEnv("VNA_HOME") ? GetEnv("VNA_HOME") : "", std::string(), GetEnv);
        registry_ = std::make_unique<vna::platform::FileRegistry>(data.folder + "registry");
        program_ = std::make_unique<Program>(vna::core::Platform{ui_, clock_, serial_, *registry_, sound_});
        vna::core::AppState& st = program_->st;
        st.ProgramFolder = data.folder;
        st.NoWindow = 1;
        if (const char* device = GetEnv("VNA_SERIAL"); device && *device) {
            st.SerialDevice = device;
        }
        st.NumDecimals = 4;
        const vna::platform::LocalTime today = clock_.now();
        vna::core::ResetToDefaults(st, today.year, today.month, today.day);
        if (!data.problem.empty()) {
            ui_.lastMessage = data.problem;
        }
    }

    // Runs one exported function on the program, the calls of several threads one after the other.
    template <class F> auto call(F&& f) {
        std::lock_guard<std::mutex> hold(lock_);
        vna::extctl::ExternalCallScope scope(*program_);
        return f(*program_);
    }

    const char* lastMessage() {
        std::lock_guard<std::mutex> hold(lock_);
        message_ = ui_.lastMessage;
        return message_.c_str();
    }

private:
    std::mutex lock_;
    vna::platform::LibraryUi ui_;
    vna::platform::SystemClock clock_;
    vna::platform::posix::PosixSerialPort serial_;
    std::unique_ptr<vna::platform::FileRegistry> registry_;
    vna::platform::NoSound sound_;
    std::unique_ptr<Program> program_;
    std::string message_;
};

Library& Lib() {
    static Library library;
    return library;
}

} // namespace

extern "C" {

int32_t VNA_InitVars(int32_t) {
    return Lib().call([](Program& p) { return vna::extctl::InitVars(p); });
}

int32_t VNA_Sync(int32_t mode) {
    return Lib().call([mode](Program& p) { return vna::extctl::Sync(p, mode); });
}

int32_t VNA_ScanPointA(int32_t mode, double freq, double* first, double* second) {
    return Lib().call([=](Program& p) { return vna::extctl::ScanPointA(p, mode, freq, first, second); });
}

int32_t VNA_ScanPointB(int32_t mode, double freq, double* first, double* second) {
    return Lib().call([=](Program& p) { return vna::extctl::ScanPointB(p, mode, freq, first, second); });
}

int32_t VNA_AvgReadings(int32_t count) {
    return Lib().call([count](Program& p) { return vna::extctl::AvgReadings(p, count); });
}

int32_t VNA_CommPort(int32_t open, int32_t port, int32_t baud) {
    return Lib().call([=](Program& p) { return vna::extctl::CommPort(p, open, port, baud); });
}

int32_t VNA_LoadCalFile(const char* path) {
    return Lib().call([path](Program& p) {
        vna::extctl::IdentifyForCalFile(p);
        return vna::cal::VNA_LoadCalFile(p, path);
    });
}

int32_t VNA_ProgRelay(int32_t flag) {
    return Lib().call([flag](Program& p) { return vna::extctl::ProgRelay(p, flag); });
}

int32_t VNA_ConstantFreq(int32_t flag, double freq) {
    return Lib().call([=](Program& p) { return vna::extctl::ConstantFreq(p, flag, freq); });
}

char* VNA_GetVersion(int32_t) {
    const std::string text = Lib().call([](Program& p) { return vna::extctl::GetVersion(p); });
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy) {
        std::memcpy(copy, text.c_str(), text.size() + 1);
    }
    return copy;
}

int64_t VNA_GetTemperature(int32_t flag) {
    const double value = Lib().call([flag](Program& p) { return vna::extctl::GetTemperature(p, flag); });
    int64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void VNA_FreeText(char* text) {
    std::free(text);
}

const char* VNA_LastMessage(void) {
    return Lib().lastMessage();
}

} // extern "C"
