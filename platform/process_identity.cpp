#include "platform/process_identity.h"

#include <memory>
#include <new>

#include "platform/unique_handle.h"

namespace {

// The user of a process's token, in a buffer that holds the TOKEN_USER and its SID.
std::unique_ptr<BYTE[]> tokenUserOf(HANDLE process) noexcept
{
    UniqueKernelHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.put()))
        return nullptr;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return nullptr;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
    if (!buffer || !GetTokenInformation(token.get(), TokenUser, buffer.get(), size, &size))
        return nullptr;
    return buffer;
}

} // namespace

bool windowOfThisUsersSession(HWND window) noexcept
{
    DWORD processId = 0;
    if (!window || GetWindowThreadProcessId(window, &processId) == 0 || processId == 0)
        return false;
    DWORD theirSession = 0;
    DWORD ourSession = 0;
    if (!ProcessIdToSessionId(processId, &theirSession) || !ProcessIdToSessionId(GetCurrentProcessId(), &ourSession) ||
        theirSession != ourSession)
        return false;
    const UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return false;
    const auto theirs = tokenUserOf(process.get());
    const auto ours = tokenUserOf(GetCurrentProcess());
    return theirs && ours &&
           EqualSid(reinterpret_cast<TOKEN_USER*>(theirs.get())->User.Sid,
                    reinterpret_cast<TOKEN_USER*>(ours.get())->User.Sid);
}
