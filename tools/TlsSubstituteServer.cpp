#include "tools/TlsSubstituteServer.h"

#include <httplib.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <chrono>
#include <map>
#include <stdexcept>
#include <thread>

namespace kelvaro::searchsim {

namespace {

constexpr char kAddress[] = "127.0.0.1";

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("the TLS search service cannot " + what);
}

Key MakeKey() {
  char curve[] = "P-256";  // the kind of key public HTTPS services commonly present
  Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", curve));
  if (!key) Fail("make a key");
  return key;
}

// A certificate for 127.0.0.1 signed by its own key, valid from an hour ago for a day.
Certificate MakeCertificate(EVP_PKEY* key) {
  Certificate certificate(X509_new());
  X509* c = certificate.get();
  bool ok = c != nullptr && X509_set_version(c, 2) == 1 &&
            ASN1_INTEGER_set(X509_get_serialNumber(c), 1) == 1 &&
            X509_gmtime_adj(X509_getm_notBefore(c), -3600) != nullptr &&
            X509_gmtime_adj(X509_getm_notAfter(c), 24 * 3600) != nullptr &&
            X509_set_pubkey(c, key) == 1;
  X509_NAME* name = ok ? X509_get_subject_name(c) : nullptr;
  ok = ok && name != nullptr &&
       X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                  reinterpret_cast<const unsigned char*>(kAddress), -1, -1,
                                  0) == 1 &&
       X509_set_issuer_name(c, name) == 1;
  if (ok) {
    // Clients match the address against the subject alternative name, not the common name.
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, c, c, nullptr, nullptr, 0);
    X509_EXTENSION* names = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name,
                                                (std::string("IP:") + kAddress).c_str());
    ok = names != nullptr && X509_add_ext(c, names, -1) == 1;
    X509_EXTENSION_free(names);
  }
  ok = ok && X509_sign(c, key, EVP_sha256()) > 0;
  if (!ok) Fail("make its certificate");
  return certificate;
}

std::string Pem(X509* certificate) {
  BIO* bio = BIO_new(BIO_s_mem());
  std::string pem;
  if (bio != nullptr && PEM_write_bio_X509(bio, certificate) == 1) {
    char* data = nullptr;
    const long size = BIO_ctrl(bio, BIO_CTRL_INFO, 0, static_cast<void*>(&data));
    if (data != nullptr && size > 0) pem.assign(data, static_cast<size_t>(size));
  }
  BIO_free(bio);
  if (pem.empty()) Fail("write its certificate");
  return pem;
}

}  // namespace

class TlsSubstituteServer::Impl {
 public:
  explicit Impl(SubstituteSearchServer& plain)
      : plain_port_(plain.Port()),
        key_(MakeKey()),
        certificate_(MakeCertificate(key_.get())),
        pem_(Pem(certificate_.get())),
        server_(certificate_.get(), key_.get()) {
    if (!server_.is_valid()) Fail("set up TLS");
    // Many requests travel over one connection; do not cut it every few.
    server_.set_keep_alive_max_count(1000000);
    server_.set_keep_alive_timeout(2);
    server_.set_tcp_nodelay(true);
    // httplib's default adds SO_REUSEPORT, which would let a second service share a port.
    server_.set_socket_options([](socket_t sock) {
      const int on = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    server_.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      Forward(request, response);
    });
    port_ = server_.bind_to_any_port(kAddress);
    if (port_ <= 0) Fail(std::string("listen on ") + kAddress);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // stop() only works once the accept loop runs.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ~Impl() {
    server_.stop();
    thread_.join();
  }

  std::string Endpoint() const {
    return "https://" + std::string(kAddress) + ":" + std::to_string(port_);
  }
  const std::string& CertificatePem() const { return pem_; }
  int HandshakeCount() const {
    return static_cast<int>(SSL_CTX_sess_accept(server_.ssl_context()));
  }

 private:
  // Passes the request on over a connection to the plain service that the serving thread keeps.
  void Forward(const httplib::Request& request, httplib::Response& response) const {
    thread_local std::map<int, std::unique_ptr<httplib::Client>> clients;
    auto& client = clients[plain_port_];
    if (!client) {
      client = std::make_unique<httplib::Client>(kAddress, plain_port_);
      client->set_keep_alive(true);
      client->set_tcp_nodelay(true);
    }
    httplib::Headers headers;
    for (const char* name : {"User-Agent", "Cache-Control", "Pragma"}) {
      if (request.has_header(name)) headers.emplace(name, request.get_header_value(name));
    }
    const httplib::Result answer = client->Get(request.target, headers);
    if (!answer) {
      response.status = 502;
      return;
    }
    response.status = answer->status;
    response.set_content(answer->body, answer->get_header_value("Content-Type"));
  }

  int plain_port_;
  Key key_;
  Certificate certificate_;
  std::string pem_;
  httplib::SSLServer server_;
  int port_ = 0;
  std::thread thread_;
};

TlsSubstituteServer::TlsSubstituteServer(SubstituteSearchServer& plain) : impl_(std::make_unique<Impl>(plain)) {}
TlsSubstituteServer::~TlsSubstituteServer() = default;

std::string TlsSubstituteServer::Endpoint() const { return impl_->Endpoint(); }
std::string TlsSubstituteServer::CertificatePem() const { return impl_->CertificatePem(); }
int TlsSubstituteServer::HandshakeCount() const { return impl_->HandshakeCount(); }

}  // namespace kelvaro::searchsim
