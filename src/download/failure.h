#pragma once
// Failures of the download side, each with its kind, and what the program does about each kind.
// A failure is raised with its kind where it happens; nothing ever sorts one by the words of its
// message (a song named "Access All Areas" is a song, not a fault).
#include "http/failure_kind.h"

#include <exception>
#include <stdexcept>
#include <string>

namespace download {

using http::FailureKind;

// The Chinese line of a kind (GBK), the start of every message of that kind.
std::string kindLine(FailureKind kind);
// kindLine(kind) + detail, on one line (GBK).
std::string failureLine(FailureKind kind, const std::string& detailGbk);

// A failure of one download; what() is failureLine(kind, detail).
class TransferFailure : public std::runtime_error {
public:
    TransferFailure(FailureKind kind, const std::string& detailGbk)
        : std::runtime_error(failureLine(kind, detailGbk)), kind_(kind)
    {
    }
    FailureKind kind() const { return kind_; }

private:
    FailureKind kind_;
};

// What the application-wide handler does with an exception.
enum class HandlerAction {
    LogOnly, // written to the memo; nothing else changes
    FailRow, // the row being handled fails alone; the list goes on
    Fatal,   // a fault of the program itself: the program tells the user and closes
};
HandlerAction handlerActionFor(FailureKind kind);

// The kind an exception carries: its own for the program's failures, ProgramFault for an
// exhausted memory or a broken invariant (std::bad_alloc, std::logic_error other than a bad
// argument or index); none for anything else, which is only logged.
struct ExceptionKind {
    bool known = false;
    FailureKind kind = FailureKind::ProgramFault;
};
ExceptionKind kindOf(const std::exception& e);
HandlerAction handlerActionFor(const std::exception& e);

} // namespace download
