#pragma once
// A certificate authority and server certificates made with openssl for one test process: a
// certificate for "localhost" and 127.0.0.1 signed by the CA, one signed by the CA for another
// host name, and a second CA that signed nothing the servers use.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace testsupport {

struct TestCertificates {
    std::filesystem::path dir;
    std::filesystem::path caFile;                // the CA that signed both server certificates
    std::filesystem::path otherCaFile;           // a CA that signed neither
    std::filesystem::path serverCert, serverKey; // localhost, 127.0.0.1
    std::filesystem::path wrongHostCert, wrongHostKey; // elsewhere.invalid

    TestCertificates()
    {
        char pattern[] = "/tmp/corvale-ca-XXXXXX";
        dir = ::mkdtemp(pattern);
        caFile = dir / "ca.pem";
        otherCaFile = dir / "other-ca.pem";
        serverCert = dir / "server.pem";
        serverKey = dir / "server.key";
        wrongHostCert = dir / "wrong.pem";
        wrongHostKey = dir / "wrong.key";
        makeCa("ca", "Corvale Test CA");
        makeCa("other-ca", "Another Test CA");
        makeServer("server", "localhost", "DNS:localhost,IP:127.0.0.1");
        makeServer("wrong", "elsewhere.invalid", "DNS:elsewhere.invalid");
    }
    ~TestCertificates() { std::filesystem::remove_all(dir); }
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

private:
    void run(const std::string& command) const
    {
        const std::string line = "cd '" + dir.string() + "' && " + command + " >/dev/null 2>&1";
        if (std::system(line.c_str()) != 0)
            throw std::runtime_error("openssl failed: " + command);
    }
    void makeCa(const std::string& name, const std::string& subject) const
    {
        run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-subj '/CN=" +
            subject + "' -keyout " + name + ".key -out " + name + ".pem");
    }
    void makeServer(const std::string& name, const std::string& host,
                    const std::string& altNames) const
    {
        run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj '/CN=" +
            host + "' -keyout " + name + ".key -out " + name + ".csr");
        run("printf 'subjectAltName=" + altNames + "\\n' > " + name + ".ext && " +
            "openssl x509 -req -in " + name +
            ".csr -CA ca.pem -CAkey ca.key -CAcreateserial "
            "-days 2 -extfile " +
            name + ".ext -out " + name + ".pem");
    }
};

// The process's certificates, made on first use.
inline const TestCertificates& testCertificates()
{
    static const TestCertificates certificates;
    return certificates;
}

} // namespace testsupport
