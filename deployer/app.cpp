// The deployer's global objects: the class factory of its automation object
// first, then the application.
#include "app.h"

#include "afxdisp.h"
#include "autoproxy.h"
#include "class_id.h"

COleObjectFactory factory(CLSID_AddonDeploy, CAddonDeployDlgAutoProxy::CreateObject, TRUE, "AddonDeploy.Application");

CAddonDeployApp theApp;
