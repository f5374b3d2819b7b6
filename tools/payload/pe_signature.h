#pragma once
// Whether a Windows program carries an Authenticode signature, and who signed it. The certificate
// table is found through the security entry of the data directories (whose address, unlike the
// others, is a file offset) and walked entry by entry with every length checked against the
// file; the PKCS#7 signed data in it is read by OpenSSL. The signature is not verified: this says
// who the signature claims signed the program, not whether the claim holds.

#include <cstddef>
#include <cstdint>
#include <string>

namespace swiftsetup {

struct PeSignature {
    enum class Status {
        None,          // no certificate table (or not a PE program)
        Authenticode,  // PKCS#7 signed data of Authenticode content, with its signer's certificate
        Unreadable,    // a certificate table that is damaged, or holds something else
    };
    Status status = Status::None;
    std::string signer;   // the subject of the signer's certificate, for Authenticode
    std::string problem;  // what is wrong, for Unreadable
};

PeSignature readPeSignature(const uint8_t* data, size_t size);

// "signature: none", "signature: Authenticode, signed by CN=..., O=..." or
// "signature: unreadable (<problem>)".
std::string describePeSignature(const PeSignature& signature);

}  // namespace swiftsetup
