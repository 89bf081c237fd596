#include "msi_session.h"

#include <cstdio>

#include "outcome.h"

namespace {
void ToInstallerLog(void* context, const char* line) { static_cast<const MsiSession*>(context)->Say(line); }
}  // namespace

MsiSession::MsiSession(MSIHANDLE install) : m_install(install) { m_log.SetSink(ToInstallerLog, this); }

bool MsiSession::Property(const char* name, char* value, DWORD size) const {
  DWORD length = size;
  value[0] = '\0';
  if (::MsiGetPropertyA(m_install, name, value, &length) != ERROR_SUCCESS || length >= size) {
    value[0] = '\0';
    return false;
  }
  return true;
}

bool MsiSession::Property(const char* name, wchar_t* value, DWORD size) const {
  wchar_t wideName[64];
  DWORD length = size;
  value[0] = L'\0';
  if (::MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 64) == 0 ||
      ::MsiGetPropertyW(m_install, wideName, value, &length) != ERROR_SUCCESS || length >= size) {
    value[0] = L'\0';
    return false;
  }
  return true;
}

bool MsiSession::SetProperty(const char* name, const char* value) const {
  return ::MsiSetPropertyA(m_install, name, value) == ERROR_SUCCESS;
}

void MsiSession::Say(const char* line) const {
  const UniqueMsiHandle record(::MsiCreateRecord(0));
  if (record.get() == 0) return;
  ::MsiRecordSetStringA(record.get(), 0, line);
  ::MsiProcessMessage(m_install, INSTALLMESSAGE_INFO, record.get());
}

UINT MsiSession::Finish(DWORD outcome, const char* what) {
  if (outcome == ERROR_SUCCESS) return ERROR_SUCCESS;
  if (outcome == kRestartRequired) {
    // Deferred actions may ask for the restart; msiexec then ends with 3010.
    const UINT rc = ::MsiSetMode(m_install, MSIRUNMODE_REBOOTATEND, TRUE);
    m_log.Step(rc, "%s: restart requested at the end of the installation", what);
    return ERROR_SUCCESS;
  }
  m_log.Step(outcome, "%s failed, the installation is rolled back", what);
  return ERROR_INSTALL_FAILURE;
}
