#include "base/file_info_calls.h"

namespace base {
namespace {

template <typename Function>
Function kernelFunction(const char* name) {
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(kernel, name)));
}

bool isDotEntry(const wchar_t* name, size_t length) {
    return (length == 1 && name[0] == L'.') || (length == 2 && name[0] == L'.' && name[1] == L'.');
}

// Appends one buffer's records; both record types share the fields read here.
template <typename Record>
void appendRecords(const BYTE* record, std::vector<FolderEntry>* listed) {
    for (;;) {
        const auto* info = reinterpret_cast<const Record*>(record);
        const size_t length = info->FileNameLength / sizeof(wchar_t);
        if (!isDotEntry(info->FileName, length))
            listed->push_back(FolderEntry{std::wstring(info->FileName, length), info->FileAttributes});
        if (info->NextEntryOffset == 0) return;
        record += info->NextEntryOffset;
    }
}

// A file system without file ids refuses the id listing class.
bool refusedClass(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

}  // namespace

const FileInfoCalls* FileInfoCalls::get() {
    static const FileInfoCalls calls = [] {
        FileInfoCalls found;
        found.getInfo_ = kernelFunction<GetInfoFunction>("GetFileInformationByHandleEx");
        found.setInfo_ = kernelFunction<SetInfoFunction>("SetFileInformationByHandle");
        return found;
    }();
    return calls.getInfo_ && calls.setInfo_ ? &calls : nullptr;
}

bool FileInfoCalls::listFolder(HANDLE folder, std::vector<FolderEntry>* entries) const {
    // LONGLONG keeps the records' LARGE_INTEGER fields aligned.
    std::vector<LONGLONG> buffer(64 * 1024 / sizeof(LONGLONG));
    const DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(LONGLONG));
    const BYTE* records = reinterpret_cast<const BYTE*>(buffer.data());
    std::vector<FolderEntry> listed;
    // The restart classes start from the top whatever the handle listed before.
    // The plain class (Windows 8 and later) is the way out when ids are refused.
    bool ids = getInfo_(folder, FileIdBothDirectoryRestartInfo, buffer.data(), bytes) != FALSE;
    bool more = ids;
    if (!ids && refusedClass(::GetLastError()))
        more = getInfo_(folder, FileFullDirectoryRestartInfo, buffer.data(), bytes) != FALSE;
    while (more) {
        if (ids)
            appendRecords<FILE_ID_BOTH_DIR_INFO>(records, &listed);
        else
            appendRecords<FILE_FULL_DIR_INFO>(records, &listed);
        more = getInfo_(folder, ids ? FileIdBothDirectoryInfo : FileFullDirectoryInfo, buffer.data(), bytes) != FALSE;
    }
    if (::GetLastError() != ERROR_NO_MORE_FILES) return false;
    entries->swap(listed);
    return true;
}

bool FileInfoCalls::setAttributes(HANDLE file, DWORD attributes) const {
    FILE_BASIC_INFO info = {};  // zero times mean "unchanged"
    info.FileAttributes = attributes;
    return setInfo_(file, FileBasicInfo, &info, sizeof info) != FALSE;
}

bool FileInfoCalls::markForDeletion(HANDLE file) const {
    FILE_DISPOSITION_INFO info = {};
    info.DeleteFile = TRUE;
    return setInfo_(file, FileDispositionInfo, &info, sizeof info) != FALSE;
}

}  // namespace base
