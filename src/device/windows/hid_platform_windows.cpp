// Windows HID access: SetupAPI walks the HID interfaces, the HID library identifies a device and
// carries its feature reports, and overlapped file I/O on the device handle reads input reports.
#include "device/hid_platform.h"
#include "device/windows/wide_text.h"

// windows.h first, in a block of its own so include sorting keeps it there: setupapi.h and the
// HID headers build on its types.
#include <windows.h>

#include <setupapi.h>
// mingw-w64's HID headers lack C linkage guards; without this the HidD_* calls do not link.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <vector>

namespace korvex {

namespace {

// The request HidD_GetFeature makes; sent directly, it tells how many bytes the device answered.
constexpr DWORD kIoctlHidGetFeature = 0xB0192;  // CTL_CODE(FILE_DEVICE_KEYBOARD, 100, METHOD_OUT_DIRECT, 0)

// The error of the last call that failed on this thread, kept apart from GetLastError, which the
// calls that follow a failure may overwrite.
thread_local DWORD lastFailure = 0;
// Why the last open on this thread of an interface that names one of our boards failed; 0 otherwise.
thread_local int lastOpenFailure = 0;

template <typename T>
T failed(T result) {
    lastFailure = GetLastError();
    return result;
}

// A device interface path is a few hundred bytes at most; a larger required size is corrupt.
constexpr DWORD kMaxDetailBytes = 4096;

HANDLE toWin(HidHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// INVALID_HANDLE_VALUE is (HANDLE)-1, so it maps onto kInvalidHandle.
HidHandle fromWin(HANDLE handle) { return reinterpret_cast<HidHandle>(handle); }

// Byte counts the HID library takes as ULONG; larger spans are refused rather than truncated.
bool fitsUlong(std::size_t bytes) { return bytes > 0 && bytes <= std::numeric_limits<ULONG>::max(); }

// Paths travel through the platform interface as UTF-8 and meet Windows as UTF-16: the wide
// functions give every interface its true path, where the 8-bit ones map a serial number outside
// the system code page (a board named with U+0141, say) to a path no open accepts.

class WindowsInterfaceWalk final : public HidInterfaceWalk {
public:
    WindowsInterfaceWalk() {
        HidD_GetHidGuid(&guid_);
        set_ = SetupDiGetClassDevsW(&guid_, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }
    ~WindowsInterfaceWalk() override {
        if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    }
    WindowsInterfaceWalk(const WindowsInterfaceWalk&) = delete;
    WindowsInterfaceWalk& operator=(const WindowsInterfaceWalk&) = delete;

    // An interface whose path cannot be read still counts: it comes back with an empty path,
    // which no open accepts, so the walk goes on to the next one.
    bool interfacePath(std::uint32_t index, std::string& path) override {
        path.clear();
        if (set_ == INVALID_HANDLE_VALUE) return false;
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        if (!SetupDiEnumDeviceInterfaces(set_, nullptr, &guid_, index, &interfaceData)) return false;

        // The first call fails by design and only reports the size the detail record needs.
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(set_, &interfaceData, nullptr, 0, &required, nullptr);
        constexpr DWORD pathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
        if (required <= pathOffset || required > kMaxDetailBytes) return true;

        // Whole wide characters, one spare zero unit to keep the path terminated whatever the call
        // writes; a wchar_t buffer is aligned for the record's DWORD.
        std::vector<wchar_t> detail((required + sizeof(wchar_t) - 1) / sizeof(wchar_t) + 1, L'\0');
        // The record's own size, which the call checks: that of the fixed part (8 in a 64-bit
        // process), not of the whole buffer.
        auto* record = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(detail.data());
        record->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!SetupDiGetDeviceInterfaceDetailW(set_, &interfaceData, record, required, nullptr, nullptr)) {
            return true;
        }
        const wchar_t* begin = record->DevicePath;
        const wchar_t* end = detail.data() + detail.size();
        path = fromWide(std::wstring_view(begin, static_cast<std::size_t>(std::find(begin, end, L'\0') - begin)));
        return true;
    }

private:
    GUID guid_{};
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
};

// An event owned for one read.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Interface paths carry the device's IDs: \\?\hid#vid_5a17&pid_0102&...
bool pathNamesBoard(const std::string& path) {
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    char ids[32];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", kBoardVendorId, kBoardProductId);
    return lower.find(ids) != std::string::npos;
}

// Shared with every other user of the device, as HID devices are; never inheritable (no security
// attributes).
HANDLE openInterface(const std::wstring& path, DWORD access, DWORD flags) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                       nullptr);
}

DWORD waitMilliseconds(std::chrono::milliseconds bound) {
    // INFINITE is 0xFFFFFFFF; a bound must stay a bound.
    const auto limit = static_cast<std::chrono::milliseconds::rep>(INFINITE - 1);
    return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(bound.count(), 0, limit));
}

class WindowsHidPlatform final : public HidPlatform {
public:
    std::unique_ptr<HidInterfaceWalk> walkInterfaces() override { return std::make_unique<WindowsInterfaceWalk>(); }

    // Every interface is opened first with no access rights, enough to read its attributes, so
    // that no other device (a keyboard, a mouse, a headset) is ever opened for reading or writing.
    // Only a board (5a17:0102) is then opened again for both; any other device keeps the
    // attributes-only handle, which getAttributes still reads and the caller closes. No handle is
    // inherited by a process this one starts.
    HidHandle open(const std::string& path) override {
        lastOpenFailure = 0;
        if (path.empty()) return kInvalidHandle;
        const std::wstring widePath = toWide(path);
        if (widePath.empty()) return kInvalidHandle;
        const HANDLE query = openInterface(widePath, 0, 0);
        // Windows holds some devices for itself, so failed opens are common: only one on a
        // board's interface (its path names the board's IDs) is worth a reason.
        if (query == INVALID_HANDLE_VALUE) {
            if (pathNamesBoard(path)) lastOpenFailure = static_cast<int>(GetLastError());
            return kInvalidHandle;
        }
        HIDD_ATTRIBUTES record{};
        record.Size = sizeof record;
        if (!HidD_GetAttributes(query, &record) || record.VendorID != kBoardVendorId ||
            record.ProductID != kBoardProductId) {
            return fromWin(query);
        }
        CloseHandle(query);
        // Overlapped, because a synchronous ReadFile on a HID handle waits for good when the device
        // sends nothing; the liveness read must be able to give up after its bound.
        const HANDLE board = openInterface(widePath, GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
        if (board == INVALID_HANDLE_VALUE) lastOpenFailure = static_cast<int>(GetLastError());
        return fromWin(board);
    }

    int lastOpenError() const override { return lastOpenFailure; }

    void close(HidHandle handle) override {
        if (handle != kInvalidHandle) CloseHandle(toWin(handle));
    }

    bool getAttributes(HidHandle handle, HidAttributes& attributes) override {
        HIDD_ATTRIBUTES record{};
        record.Size = sizeof record;
        if (!HidD_GetAttributes(toWin(handle), &record)) return false;
        attributes.vendorId = record.VendorID;
        attributes.productId = record.ProductID;
        attributes.releaseNumber = record.VersionNumber;
        return true;
    }

    bool getString(HidHandle handle, HidString which, std::string& text) override {
        // A USB string holds at most 126 UTF-16 units; one more keeps the text terminated.
        std::array<wchar_t, 128> units{};
        const ULONG bytes = static_cast<ULONG>((units.size() - 1) * sizeof(wchar_t));
        BOOLEAN read = FALSE;
        switch (which) {
        case HidString::SerialNumber: read = HidD_GetSerialNumberString(toWin(handle), units.data(), bytes); break;
        case HidString::Manufacturer: read = HidD_GetManufacturerString(toWin(handle), units.data(), bytes); break;
        case HidString::Product: read = HidD_GetProductString(toWin(handle), units.data(), bytes); break;
        }
        if (!read) return failed(false);
        text = fromWide(units.data());
        return true;
    }

    bool getCaps(HidHandle handle, HidCaps& caps) override {
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        if (!HidD_GetPreparsedData(toWin(handle), &preparsed)) return false;
        HIDP_CAPS record{};
        const NTSTATUS status = HidP_GetCaps(preparsed, &record);
        HidD_FreePreparsedData(preparsed);
        if (status != HIDP_STATUS_SUCCESS) return false;
        caps.inputReportLength = record.InputReportByteLength;
        caps.featureReportLength = record.FeatureReportByteLength;
        return true;
    }

    bool setFeature(HidHandle handle, std::span<const std::uint8_t> report) override {
        if (!fitsUlong(report.size())) return false;
        // The library only reads the report, but its parameter is not const.
        void* bytes = const_cast<std::uint8_t*>(report.data());
        return HidD_SetFeature(toWin(handle), bytes, static_cast<ULONG>(report.size())) || failed(false);
    }

    std::size_t getFeature(HidHandle handle, std::span<std::uint8_t> report) override {
        if (!fitsUlong(report.size())) return 0;
        // Cleared but for the report ID, so that a short answer leaves zeros after it, never what
        // the buffer held before.
        const std::uint8_t reportId = report[0];
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        report[0] = reportId;
        // The board's handle is overlapped (see open), so the request is too: on such a handle a
        // request without an OVERLAPPED may return before the answer is in the buffer.
        const Event done;
        if (done.get() == nullptr) return failed(std::size_t{0});
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        DWORD answered = 0;
        const HANDLE file = toWin(handle);
        const auto size = static_cast<DWORD>(report.size());
        if (!DeviceIoControl(file, kIoctlHidGetFeature, report.data(), size, report.data(), size, &answered,
                             &overlapped)) {
            if (GetLastError() != ERROR_IO_PENDING) return failed(std::size_t{0});
            if (!GetOverlappedResult(file, &overlapped, &answered, TRUE)) return failed(std::size_t{0});
        }
        // For a board that numbers no reports, Windows counts only the bytes the board sent, not
        // the report ID byte in front of them.
        if (reportId == 0 && answered > 0) ++answered;
        return std::min<std::size_t>(answered, report.size());
    }

    int lastError() const override { return static_cast<int>(lastFailure); }

    InputRead readInput(HidHandle handle, std::span<std::uint8_t> buffer, std::chrono::milliseconds bound) override {
        if (handle == kInvalidHandle || buffer.empty() || buffer.size() > MAXDWORD) return InputRead::Gone;
        const Event done;
        if (done.get() == nullptr) return InputRead::Gone;
        const HANDLE file = toWin(handle);
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        DWORD transferred = 0;

        // The count stays null: for an overlapped read it comes from GetOverlappedResult.
        if (ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, &overlapped)) {
            return InputRead::Report;
        }
        if (GetLastError() != ERROR_IO_PENDING) return InputRead::Gone;  // unplugged, or refused

        if (WaitForSingleObject(done.get(), waitMilliseconds(bound)) == WAIT_OBJECT_0) {
            return GetOverlappedResult(file, &overlapped, &transferred, FALSE) ? InputRead::Report : InputRead::Gone;
        }
        // Nothing within the bound. The driver owns `buffer` and `overlapped` until the read ends,
        // so cancel it and wait for the end before either leaves scope; this also keeps the
        // handle free of pending I/O for the HID library's own calls.
        // A read that finished meanwhile reports its own outcome.
        CancelIoEx(file, &overlapped);
        if (GetOverlappedResult(file, &overlapped, &transferred, TRUE)) return InputRead::Report;
        return GetLastError() == ERROR_OPERATION_ABORTED ? InputRead::NoneYet : InputRead::Gone;
    }
};

}  // namespace

std::unique_ptr<HidPlatform> makeSystemHidPlatform() { return std::make_unique<WindowsHidPlatform>(); }

}  // namespace korvex
