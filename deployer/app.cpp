// The deployer's global objects: the class factory of its automation object
// first, then the application.
#include "afxdisp.h"
#include "app.h"
#include "autoproxy.h"

namespace {
const CLSID CLSID_AddonDeploy = {0x59F70273, 0x5B40, 0x43CE, {0xB7, 0x35, 0xF8, 0x1F, 0xA1, 0x16, 0x37, 0x66}};
}  // namespace

COleObjectFactory factory(CLSID_AddonDeploy, CAddonDeployDlgAutoProxy::CreateObject, TRUE,
                          "AddonDeploy.Application");

CAddonDeployApp theApp;
