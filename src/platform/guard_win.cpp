// Private folders and final paths through the Win32 security and handle calls.
#include <windows.h>

#include <vector>

#include "platform/guard.h"

namespace {

// The token's default owner: what the objects this process makes belong to.
std::vector<BYTE> OwnerSid() {
  std::vector<BYTE> sid;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return sid;
  DWORD size = 0;
  GetTokenInformation(token, TokenOwner, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size != 0 && GetTokenInformation(token, TokenOwner, buffer.data(), size, &size)) {
    PSID owner = reinterpret_cast<TOKEN_OWNER*>(buffer.data())->Owner;
    if (IsValidSid(owner)) {
      const BYTE* bytes = static_cast<const BYTE*>(owner);
      sid.assign(bytes, bytes + GetLengthSid(owner));
    }
  }
  CloseHandle(token);
  return sid;
}

}  // namespace

bool OsCreatePrivateFolder(const std::string& path) {
  std::vector<BYTE> owner = OwnerSid();
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID system = nullptr;
  if (owner.empty() || !AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system)) {
    return false;
  }
  const DWORD aclSize = sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                        GetLengthSid(owner.data()) + GetLengthSid(system);
  std::vector<BYTE> aclBuffer(aclSize);
  PACL acl = reinterpret_cast<PACL>(aclBuffer.data());
  const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  SECURITY_DESCRIPTOR descriptor;
  bool ready = InitializeAcl(acl, aclSize, ACL_REVISION) &&
               AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, owner.data()) &&
               AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system) &&
               InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
               // Protected: nothing of the parent's list is inherited.
               SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  bool made = false;
  if (ready) {
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    // Fails with ERROR_ALREADY_EXISTS when anything is at the path.
    made = CreateDirectoryA(path.c_str(), &attributes) != 0;
  }
  FreeSid(system);
  return made;
}

std::string OsFinalPath(const std::string& path) {
  // Backup semantics open folders too; no access is asked for, only a name.
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::string();
  char buffer[32768];
  DWORD length = GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (length == 0 || length >= sizeof buffer) return std::string();
  std::string final(buffer, length);
  if (final.compare(0, 8, "\\\\?\\UNC\\") == 0) {
    final = "\\\\" + final.substr(8);
  } else if (final.compare(0, 4, "\\\\?\\") == 0) {
    final = final.substr(4);
  }
  if (final.size() > 3 && final.back() == '\\') final.pop_back();
  return final;
}

bool OsIsLink(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
