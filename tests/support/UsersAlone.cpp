#include "support/UsersAlone.h"

#ifdef Q_OS_WIN
#include "platform/WindowsApi.h"

#include <aclapi.h>

#include <QDir>

#include <vector>

bool isUsersAlone(const QString &path)
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    const bool known = size > 0 && ::GetTokenInformation(token, TokenUser, user.data(), size, &size);
    ::CloseHandle(token);
    if (!known)
        return false;

    std::wstring name(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()));
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(
            name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr, &descriptor)
        != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    bool alone = ::GetSecurityDescriptorControl(descriptor, &control, &revision) && (control & SE_DACL_PROTECTED)
        && list && list->AceCount == 1;
    if (alone) {
        void *entry = nullptr;
        alone = ::GetAce(list, 0, &entry) && static_cast<ACE_HEADER *>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE
            && ::EqualSid(&static_cast<ACCESS_ALLOWED_ACE *>(entry)->SidStart,
                reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid);
    }
    ::LocalFree(descriptor);
    return alone;
}
#endif
