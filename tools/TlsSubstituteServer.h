#pragma once

// The substitute search service over TLS: a loopback HTTPS server that answers every request by
// passing it on to a plain SubstituteSearchServer and returning its answer, so that a client pays the
// TLS handshake as it does against the real API. Its certificate is made at construction,
// self-signed for the address 127.0.0.1; a client trusts it through CertificatePem(). It serves
// on its own threads from construction to destruction. All members are thread-safe.

#include <memory>
#include <string>

#include "tools/SubstituteSearchServer.h"

namespace kelvaro::searchsim {

class TlsSubstituteServer {
 public:
  // Serves on an ephemeral port of 127.0.0.1; throws std::runtime_error when the certificate
  // cannot be made or the port cannot be bound. plain must outlive this object.
  explicit TlsSubstituteServer(SubstituteSearchServer& plain);
  ~TlsSubstituteServer();
  TlsSubstituteServer(const TlsSubstituteServer&) = delete;
  TlsSubstituteServer& operator=(const TlsSubstituteServer&) = delete;

  // "https://127.0.0.1:<port>", to pass as the endpoint of BuildQueryURL.
  std::string Endpoint() const;
  // The certificate in PEM, the one a client must trust.
  std::string CertificatePem() const;
  // TLS handshakes the server has begun since start: one for every new connection.
  int HandshakeCount() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kelvaro::searchsim
