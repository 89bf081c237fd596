// How a deployment spends the pauses between attempts to delete the old
// plug-in module, which the host holds open while it runs.
#pragma once

class DeployWait {
 public:
  virtual ~DeployWait() = default;
  // One pause after a refused deletion. held: refused because the module is
  // held (access denied), so more attempts follow. False stops the waiting:
  // the old module stays and the edition fails.
  virtual bool Pause(unsigned milliseconds, bool held) = 0;
  // The waiting for a held module is over, whatever its outcome. Called once
  // after the last held pause of a deployment.
  virtual void HeldWaitEnded() {}
};
