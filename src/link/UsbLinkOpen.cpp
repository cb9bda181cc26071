#include "link/LibraryDevice.h"
#include "link/UsbLink.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace qbr {

namespace {

// The library addresses devices by a 16-bit index.
constexpr uint32_t kMaxLibraryDevices = 0x10000;

std::string FormatAlert(const char* format, const char* pipeName) {
    char text[160];
    std::snprintf(text, sizeof text, format, pipeName);
    return text;
}

// An ID text as the library gives it, read with "%x "; 0 when it holds no number.
uint32_t ParseIdText(const char (&text)[UsbDeviceLibrary::kIdTextSize]) {
    char terminated[UsbDeviceLibrary::kIdTextSize];
    std::copy(std::begin(text), std::end(text), terminated);
    terminated[UsbDeviceLibrary::kIdTextSize - 1] = '\0';
    unsigned int value = 0;
    return std::sscanf(terminated, "%x ", &value) == 1 ? value : 0;
}

}  // namespace

bool UsbLink::Open() {
    OpenProblem problem = OpenProblem::NotFound;
    const bool open = useLibraryPath_ ? OpenThroughLibrary(problem) : OpenDirect(problem);
    lastOpenProblem_ = open ? OpenProblem::None : problem;
    return open;
}

// The programmer's device handle is kept open from one pass to the next. It is
// closed when a pass no longer finds the programmer, and reopened after a failed
// transfer, so a programmer that was unplugged and plugged back in is taken up
// again with a fresh handle.
bool UsbLink::OpenThroughLibrary(OpenProblem& problem) {
    uint32_t count = 0;
    if (library_->CountDevices(count) != 0) {
        CloseLibraryDevice();
        return false;
    }
    bool queryFailed = false;
    const std::optional<uint16_t> index = FindProgrammerIndex(count, queryFailed);
    if (queryFailed) {
        return false;
    }
    if (!index) {
        CloseLibraryDevice();
        return false;
    }
    if (deviceSuspect_) {
        CloseLibraryDevice();
    }
    if (deviceHandle_) {
        return true;
    }
    UsbDeviceLibrary::Handle handle = UsbDeviceLibrary::kInvalidHandle;
    const int result = library_->OpenDevice(*index, handle);
    if (result != 0) {
        if (result == UsbDeviceLibrary::kAccessDenied) {
            problem = OpenProblem::AccessDenied;
        }
        CloseLibraryDevice();
        return false;
    }
    deviceHandle_ = std::make_shared<LibraryDevice>(*library_, handle);
    writeHandle_ = readHandle_ = deviceHandle_;
    return true;
}

std::optional<uint16_t> UsbLink::FindProgrammerIndex(uint32_t count, bool& queryFailed) {
    const uint32_t limit = std::min(count, kMaxLibraryDevices);
    for (uint32_t i = 0; i < limit; ++i) {
        const auto index = static_cast<uint16_t>(i);
        char vendorText[UsbDeviceLibrary::kIdTextSize] = {};
        char productText[UsbDeviceLibrary::kIdTextSize] = {};
        if (library_->GetDeviceId(index, vendorText, UsbDeviceLibrary::kVendorId) != 0 ||
            library_->GetDeviceId(index, productText, UsbDeviceLibrary::kProductId) != 0) {
            queryFailed = true;
            return std::nullopt;
        }
        if ((ParseIdText(vendorText) & 0xFFFF) == kVendorId && (ParseIdText(productText) & 0xFFFF) == kProductId) {
            return index;
        }
    }
    return std::nullopt;
}

// The library closes the device once no transfer holds it any more.
void UsbLink::CloseLibraryDevice() {
    ReleaseHandles();
    deviceSuspect_ = false;
}

void UsbLink::ReleaseHandles() {
    deviceHandle_.reset();
    writeHandle_.reset();
    readHandle_.reset();
}

// Every pass opens the device and its pipes anew; the handles of the previous pass
// live on only as long as a transfer still uses them.
bool UsbLink::OpenDirect(OpenProblem& problem) {
    const std::optional<int> index = FindDirectInterface();
    if (!index) {
        ReleaseHandles();
        return false;
    }
    finder_->SetInterfaceGuid(kInterfaceClass);
    std::shared_ptr<PipeHandle> device = finder_->OpenDevice(*index);
    if (!device) {
        if (finder_->AccessDenied()) {
            problem = OpenProblem::AccessDenied;
        }
        ReleaseHandles();
        return false;
    }
    deviceHandle_ = std::move(device);
    writeHandle_ = OpenPipeOrAlert(kWritePipeName,
                                   "Error opening Write device: %s\n\nApplication is aborting.\n"
                                   "Reset hardware and try again.");
    readHandle_ = OpenPipeOrAlert(kReadPipeName,
                                  "Error opening Read device: %s\n\nApplication is aborting.\n"
                                  "Reset hardware and try again.");
    return true;
}

std::optional<int> UsbLink::FindDirectInterface() {
    finder_->SetInterfaceGuid(kInterfaceClass);
    const int count = finder_->CountDevices();
    for (int i = 0; i < count; ++i) {
        finder_->SetInterfaceGuid(kInterfaceClass);
        if (finder_->GetVid(i) == kVendorId && finder_->GetPid(i) == kProductId) {
            return i;
        }
    }
    return std::nullopt;
}

std::shared_ptr<PipeHandle> UsbLink::OpenPipeOrAlert(const char* name, const char* format) {
    std::shared_ptr<PipeHandle> pipe = finder_->OpenPipe(name);
    if (!pipe && alert_) {
        alert_(FormatAlert(format, name));
    }
    return pipe;
}

}  // namespace qbr
