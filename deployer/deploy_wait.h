// How a deployment spends the pauses between attempts to put the new plug-in
// module in place of the old one, which the host holds open while it runs,
// and what it tells as it goes.
#pragma once

class DeployWait {
 public:
  virtual ~DeployWait() = default;
  // One pause after a refused attempt. held: refused because a host holds
  // the module, so more attempts follow. False stops the waiting: the old
  // module stays and the edition fails.
  virtual bool Pause(unsigned milliseconds, bool held) = 0;
  // The waiting for a held module is over. Called once after the last held
  // pause of a deployment, with how it ended: 0 when the new module is in
  // place, else why not (see HeldWaitEnd), and whether the attempts ran out.
  virtual void HeldWaitEnded(unsigned long outcome, bool attemptsRanOut) {
    (void)outcome;
    (void)attemptsRanOut;
  }
  // The bitmap's replacement, once the new module is in place: 0, or the
  // error that left the old bitmap.
  virtual void BitmapReplaced(unsigned long outcome) { (void)outcome; }
};
