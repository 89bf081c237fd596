#include "controls_context.h"

#include "system_dll.h"

ControlsContext::ControlsContext(WORD id) {
  // The controls' DLLs import msimg32.dll, which is no known DLL. Windows
  // resolves that import in the confined search; Wine in the whole search
  // order, the program's folder first. Loaded from the system directory
  // beforehand, it is the one they are given everywhere.
  m_imports.reset(LoadSystemLibrary("msimg32.dll"));
  ACTCTXA context{};
  context.cbSize = sizeof context;
  context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.hModule = ::GetModuleHandleA(nullptr);
  context.lpResourceName = MAKEINTRESOURCEA(id);
  m_context = ::CreateActCtxA(&context);
  if (m_context != INVALID_HANDLE_VALUE && !::ActivateActCtx(m_context, &m_cookie)) m_cookie = 0;
}

ControlsContext::~ControlsContext() {
  if (m_cookie != 0) ::DeactivateActCtx(0, m_cookie);
  if (m_context != INVALID_HANDLE_VALUE) ::ReleaseActCtx(m_context);
}
