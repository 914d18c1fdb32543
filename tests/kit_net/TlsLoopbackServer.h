#pragma once

#include "kit_net/LoopbackServer.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace nettest {

// A self-signed certificate for 127.0.0.1 and its key, made once per test process by openssl(1) in the
// process's temporary folder. The certificate is also the only certificate authority a test trusts.
struct TestCertificate {
    std::filesystem::path certificate, key;

    static const TestCertificate& shared()
    {
        static const TestCertificate made = [] {
            auto folder = testsupport::temporaryFolder("tls");
            TestCertificate files { folder / "cert.pem", folder / "key.pem" };
            std::string out;
            testsupport::runCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                                    " -addext subjectAltName=IP:127.0.0.1 -keyout "
                    + files.key.string() + " -out " + files.certificate.string() + " 2>&1",
                &out);
            return files;
        }();
        return made;
    }
};

// An https server on 127.0.0.1 whose certificate the process's loads trust: the test-only variable
// LECTORIN_TEST_CA_FILE names it (children started by the test inherit it). Verification stays on, so a
// load that reaches any other server, or this one under another name, fails.
class TlsLoopbackServer : public BasicLoopbackServer<httplib::SSLServer> {
public:
    explicit TlsLoopbackServer(const std::function<void(httplib::Server&)>& routes)
        : BasicLoopbackServer<httplib::SSLServer>(routes, trusted().certificate.c_str(), trusted().key.c_str())
    {
    }

private:
    static const TestCertificate& trusted()
    {
        const TestCertificate& files = TestCertificate::shared();
        ::setenv("LECTORIN_TEST_CA_FILE", files.certificate.c_str(), 1);
        return files;
    }
};

} // namespace nettest
