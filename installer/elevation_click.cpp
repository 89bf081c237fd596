// A click on Install or Delete in a dialog without administrator rights:
// this process keeps the window, the animation and the box; one elevated
// start of the program, with no window, carries out the steps.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "dialog.h"
#include "elevation.h"
#include "failure_text.h"
#include "package_machine.h"
#include "relaunch_line.h"
#include "win32_error.h"

namespace {

constexpr char kDeclined[] =
    "Nothing was changed: administrator rights were not given.\n\nClick again and allow the change to go ahead.";

// The failure box's text of a course.
const char* FailText(SilentCourse course) {
  return course == SilentCourse::Delete ? "Delete printer driver fail!" : "Add printer fail!";
}

}  // namespace

void CPLOTINSTDlg::OnInstallClicked() {
  if (m_needsRights)
    ClickWithElevation(SilentCourse::Install);
  else
    OnInstall();
}

void CPLOTINSTDlg::OnDeleteClicked() {
  if (m_needsRights)
    ClickWithElevation(SilentCourse::Delete);
  else
    OnDelete();
}

void CPLOTINSTDlg::ClickWithElevation(SilentCourse course) {
  char model[256], port[256] = "";
  SelectedModel(model);
  // A package for another Windows is refused here, before any prompt: the
  // refusal needs no rights, and an elevated start could not change it.
  if (course == SilentCourse::Install) {
    const PackageFit fit = ReadPackageFit();
    if (!fit.fits) {
      char refusal[512];
      RefusalText(refusal, sizeof refusal, fit.driver, fit.config, fit.system);
      StepsResult refused;
      refused.Note(ERROR_EXE_MACHINE_TYPE_MISMATCH);
      ShowOutcome(refused, refusal, "");
      return;
    }
  }
  if (course == SilentCourse::Install) GetSelectedText(IDC_PORT, port);
  const std::string parameters = RelaunchParameters(course, model, port, m_portConfigured == 0);
  char program[MAX_PATH], directory[MAX_PATH];
  const DWORD programLength = ::GetModuleFileNameA(nullptr, program, sizeof program);
  const DWORD directoryLength = ::GetCurrentDirectoryA(sizeof directory, directory);
  DWORD error = ERROR_SUCCESS;
  if (programLength == 0 || programLength >= sizeof program || directoryLength == 0 ||
      directoryLength >= sizeof directory)
    error = LastErrorOr(ERROR_FILENAME_EXCED_RANGE);

  SHELLEXECUTEINFOA run{};
  run.cbSize = sizeof run;
  run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  run.hwnd = m_hWnd;
  run.lpVerb = "runas";
  run.lpFile = program;
  run.lpParameters = parameters.c_str();
  run.lpDirectory = directory;
  run.nShow = SW_HIDE;
  if (error == ERROR_SUCCESS && !::ShellExecuteExA(&run)) error = LastErrorOr(ERROR_GEN_FAILURE);
  UniqueKernelHandle process(run.hProcess);
  if (error == ERROR_SUCCESS && !process) error = ERROR_GEN_FAILURE;
  if (error == ERROR_CANCELLED) {
    MessageBox(kDeclined);
    return;
  }
  if (error != ERROR_SUCCESS) {
    StepsResult failed;
    failed.Note(error);
    ShowOutcome(failed, FailText(course), "");
    return;
  }

  m_removing = course == SilentCourse::Delete ? 1 : 0;
  StartAnimation();
  // The elevated process has no window and ends on its own, as the steps
  // here would: the dialog waits for it as it waits for them.
  DWORD exitCode = ERROR_GEN_FAILURE;
  if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.get(), &exitCode))
    exitCode = LastErrorOr(ERROR_GEN_FAILURE);
  ShowOutcome(RelaunchResult(exitCode), FailText(course),
              course == SilentCourse::Delete ? "Delete success!" : "Install success!");
}
