#pragma once

#include "cards/CardTrace.h"

#include <string>
#include <vector>

namespace Corvane::Common
{

// Collects the status texts the card layer traces while it lives.
class CCardTraceRecorder
{
public:
    CCardTraceRecorder() : Previous(SetCardTraceObserver(Record)) { Texts().clear(); }
    ~CCardTraceRecorder() { SetCardTraceObserver(Previous); }
    CCardTraceRecorder(const CCardTraceRecorder&) = delete;
    CCardTraceRecorder& operator=(const CCardTraceRecorder&) = delete;

    static std::vector<std::string>& Texts()
    {
        static std::vector<std::string> texts;
        return texts;
    }

private:
    static void Record(const char* text) { Texts().push_back(text); }
    CardTraceObserver Previous;
};

} // namespace Corvane::Common
