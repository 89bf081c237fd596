// Delete: the printer and the driver of the model's name removed, then the
// driver files from the driver directory and its subfolder 3.
#include "dialog.h"
#include "package.h"
#include "spooler.h"

void CPLOTINSTDlg::OnDelete() {
  m_removing = 1;
  StartAnimation();

  char model[256];
  GetSelectedText(IDC_MODEL, model);
  const ModelFiles* files = ModelFilesAt(static_cast<long>(GetDlgItem(IDC_MODEL).SendMessage(CB_GETCURSEL)));
  if (files == nullptr) {
    StopAnimation();
    MessageBox("Delete printer driver fail!");
    return;
  }

  spooler::DeletePrinterConnection(model);
  if (spooler::UniquePrinter printer = spooler::OpenPrinterForDeletion(model)) spooler::DeletePrinter(printer.get());
  if (!spooler::DeleteDriver(model)) {
    StopAnimation();
    MessageBox("Delete printer driver fail!");
    return;
  }

  char system[512];
  char plotsvc[512];
  const UINT n = ::GetSystemDirectoryA(system, sizeof system);
  const bool havePlotsvc = n != 0 && n < sizeof system && JoinPath(plotsvc, sizeof plotsvc, system, "\\plotsvc.dll");

  // Without the driver directory no path is built: nothing is deleted at the
  // root of the current drive.
  char directory[256];
  const bool haveDirectory = spooler::GetDriverDirectory(directory);
  DriverPaths paths;
  if (haveDirectory && BuildDriverPaths(paths, directory, "", *files)) {
    ::DeleteFileA(paths.driver);
    ::DeleteFileA(paths.data);
    ::DeleteFileA(paths.config);
  }
  if (havePlotsvc) ::DeleteFileA(plotsvc);
  if (haveDirectory && BuildDriverPaths(paths, directory, "\\3", *files)) {
    ::DeleteFileA(paths.driver);
    ::DeleteFileA(paths.data);
    ::DeleteFileA(paths.config);
  }

  StopAnimation();
  MessageBox("Delete success!");
  RefreshButtons();
}
