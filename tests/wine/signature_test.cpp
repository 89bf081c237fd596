// The programs signed as the release signs them (tests/wine/signed_programs.sh),
// as Windows checks them: WinVerifyTrust with this run's throwaway root in
// the machine's root store, and the signed programs still running.
#include <gtest/gtest.h>
#include <windows.h>

// after windows.h, which they need
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "deployer_fixture.h"
#include "handles.h"
#include "support.h"

using namespace deployer_test;

namespace {

const char* const kPrograms[] = {"PLOTINST.exe", "AddonDeploy.exe"};

std::string Signed(const char* name) { return WinPath(SIGNED_DIR_UNIX) + "\\signed\\" + name; }

struct Verdict {
  LONG result;
  DWORD chainErrors;  // of the chain built for the signer; ~0 when there is none
};

// WinVerifyTrust's verdict as a program's start asks for it, without a
// window or a revocation check, and the trust status of the signer's chain.
Verdict Verify(const std::string& path) {
  const std::wstring wide(path.begin(), path.end());  // the test's paths are ASCII
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = wide.c_str();
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
  Verdict verdict{::WinVerifyTrust(noWindow, &action, &data), ~0u};
  CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(data.hWVTStateData);
  CRYPT_PROVIDER_SGNR* signer = provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (signer != nullptr && signer->pChainContext != nullptr)
    verdict.chainErrors = signer->pChainContext->TrustStatus.dwErrorStatus;
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  ::WinVerifyTrust(noWindow, &action, &data);
  return verdict;
}

struct CertStoreTraits {
  static HCERTSTORE Invalid() { return nullptr; }
  static void Close(HCERTSTORE h) { ::CertCloseStore(h, 0); }
};

// This run's root in the machine's root store for as long as it lives.
class MachineRoot {
 public:
  MachineRoot() : m_store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root")) {
    const std::string der = ReadFileBytes(WinPath(SIGNED_DIR_UNIX) + "\\pki\\root.der");
    if (m_store && !der.empty() &&
        ::CertAddEncodedCertificateToStore(m_store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                           static_cast<DWORD>(der.size()), CERT_STORE_ADD_NEW, &m_root))
      // Wine keeps a store's changes to itself until they are committed.
      ::CertControlStore(m_store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  MachineRoot(const MachineRoot&) = delete;
  MachineRoot& operator=(const MachineRoot&) = delete;
  ~MachineRoot() {
    if (m_root != nullptr && ::CertDeleteCertificateFromStore(m_root))  // frees the context too
      ::CertControlStore(m_store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
  }
  bool Added() const { return m_root != nullptr; }

 private:
  UniqueHandle<HCERTSTORE, CertStoreTraits> m_store;
  PCCERT_CONTEXT m_root = nullptr;
};

}  // namespace

// Wine 8 applies no chain policy to a publisher certificate signed with
// SHA-256, as every one is now: its policy step cannot fetch the 32-byte
// signature hash into a 20-byte buffer and passes the file whatever its root.
// So the chain WinVerifyTrust built is checked too. The root goes into the
// store before the first check: Wine's chain engine reads it once per process.
TEST(Signature, WithTheRootInTheMachineStoreOnlyTheSignedProgramsAreTrusted) {
  MachineRoot root;
  ASSERT_TRUE(root.Added());
  for (const char* name : kPrograms) {
    const Verdict verdict = Verify(Signed(name));
    EXPECT_EQ(verdict.result, ERROR_SUCCESS) << name;
    EXPECT_EQ(verdict.chainErrors, static_cast<DWORD>(CERT_TRUST_NO_ERROR)) << name;
  }
  EXPECT_EQ(Verify(WinPath(SIGNED_DIR_UNIX) + "\\changed.exe").result, TRUST_E_BAD_DIGEST);
  EXPECT_EQ(Verify(WinPath(PLOTINST_EXE_UNIX)).result, TRUST_E_NOSIGNATURE);
}

// Without it the chain ends in a root nobody trusts (Windows refuses the
// programs with CERT_E_UNTRUSTEDROOT; Wine 8, as above, passes them).
TEST(Signature, WithoutTheRootTheChainIsUntrusted) {
  for (const char* name : kPrograms)
    EXPECT_TRUE(Verify(Signed(name)).chainErrors & CERT_TRUST_IS_UNTRUSTED_ROOT) << name;
}

// The installer's dialog opens and closes as cancelled; the deployer's
// unattended course deploys into a registered edition and ends with 0.
TEST(Signature, SignedProgramsRun) {
  ChildProcess installer;
  ASSERT_TRUE(installer.Start(Signed("PLOTINST.exe"), "\"" + Signed("PLOTINST.exe") + "\""));
  HWND dialog = WaitForDialog(installer.Id(), "MarloCutterSetup32(V1.0)");
  ASSERT_NE(dialog, nullptr);
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(installer.WaitExit());
  EXPECT_EQ(installer.ExitCode(), static_cast<DWORD>(ERROR_CANCELLED));

  UnregisterAllHosts();
  Sandbox box("signed", Signed("AddonDeploy.exe"));
  const std::string plugins = box.AddHost(9, false);
  EXPECT_EQ(RunWithoutAnyWindow(box.Exe(), box.CommandLine("/Install")), 0);
  EXPECT_EQ(ReadFileBytes(plugins + "\\Marlotrim.cpg"), kModule32);
  UnregisterAllHosts();
  Unregister();
}
