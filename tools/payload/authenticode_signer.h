#pragma once
// The signer of an Authenticode signature: the DER-encoded PKCS#7 signed data of a certificate
// table entry, read with OpenSSL's libcrypto. Any bytes are safe.

#include <cstddef>
#include <cstdint>
#include <string>

namespace swiftsetup {

// The subject of the certificate that signed it, most specific part first ("CN=..., O=...,
// C=..."); false, with the problem, when the bytes are not PKCS#7 signed data of Authenticode
// content or the signer's certificate is not among its certificates.
bool authenticodeSigner(const uint8_t* der, size_t length, std::string& subject, std::string& problem);

}  // namespace swiftsetup
