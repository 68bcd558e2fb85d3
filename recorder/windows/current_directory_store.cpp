// The recorder's store of signal files on Windows' own file calls, so that a
// failure is told with the system's message for the error of the failing call
// (a full disk, a missing folder, a file in use).
#include "platform/windows/handles.h"
#include "platform/windows/wide_text.h"
#include "recorder/signal_file.h"

#include <algorithm>
#include <windows.h>

namespace recorder {

namespace {

// "what: " and the system's message for the error, without its line end.
std::string failure(const char* what, DWORD code) {
    wchar_t text[512] = L"";
    DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               code, 0, text, 512, nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' '))
        --n;
    const std::string reason =
        n > 0 ? platform::wideToUtf8(std::wstring_view(text, n)) : "error " + std::to_string(code);
    return std::string(what) + ": " + reason;
}

} // namespace

bool CurrentDirectoryStore::write(const std::string& name, std::span<const std::uint8_t> bytes,
                                  std::string& error) {
    const std::wstring path = platform::utf8ToWide(name);
    platform::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        error = failure("the file cannot be created", ::GetLastError());
        return false;
    }
    DWORD code = ERROR_SUCCESS;
    for (std::size_t done = 0; done < bytes.size() && code == ERROR_SUCCESS;) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr))
            code = ::GetLastError();
        else if (written == 0)
            code = ERROR_WRITE_FAULT; // no progress and no reason: never wait on it
        done += written;
    }
    if (!file.close() && code == ERROR_SUCCESS)
        code = ::GetLastError();
    if (code == ERROR_SUCCESS)
        return true;
    error = failure("the file cannot be written", code);
    // A short file would read as a shorter recording; none is left.
    ::DeleteFileW(path.c_str());
    return false;
}

} // namespace recorder
