// The process-wide progress receiver that long loader work reports to.
// Set by the last constructed instance; nullptr means nobody listens.
#pragma once

#include <cstdint>

namespace norv {

class IProgressReceiver {
public:
    virtual void ShowProgress(int32_t position, int32_t total) = 0;

protected:
    ~IProgressReceiver() = default;
};

IProgressReceiver* ProgressReceiver();
void SetProgressReceiver(IProgressReceiver* receiver);

// Calls the receiver when one is set.
void ReportProgress(int32_t position, int32_t total);

}  // namespace norv
