#pragma once
// What went wrong, as the place where it went wrong knows it. Whoever handles a failure decides
// on its kind; the words of a message are for people only.

namespace http {

enum class FailureKind {
    NameUnusable,      // a file name that cannot be made into a file
    FolderMissing,     // the save folder is not there (an unmounted drive, a pulled stick)
    FolderNotWritable, // the save folder or the file in it cannot be written
    DiskFull,          // no room left on the file system
    Network,           // a connection could not be opened, broke or was refused
    Certificate,       // the server's certificate or the secure connection failed
    Proxy,             // the proxy could not be reached or refused
    ServerAnswer,      // the server answered with an error status or something unusable
    ServerFileChanged, // the file changed on the server while it was fetched
    Checksum,          // the file arrived whole but does not match its published digest
    TooSlow,           // nothing arrived for too long
    TooLong,           // the server sent more than it may
    BadAddress,        // an address the program cannot fetch
    Stopped,           // the user stopped it
    ProgramFault,      // a fault of the program itself (out of memory, a broken invariant)
};

} // namespace http
