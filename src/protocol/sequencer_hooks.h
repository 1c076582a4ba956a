#pragma once
#include <string>

namespace kv7 {

class clsCmcQkv3Sequence;

// The operation controller's judgement of the sub name the radio reported.
class SubNameChecker {
  public:
    virtual ~SubNameChecker() = default;
    virtual bool RigOpFunc_CheckSubNameLegal(const std::string& nameS) = 0;
};

// The main window's error report of a failed radio operation.
class CloneErrorReporter {
  public:
    virtual ~CloneErrorReporter() = default;
    virtual void MsgBoxCloneErr(clsCmcQkv3Sequence& myObjQkv3Seq) = 0;
};

}  // namespace kv7
