#include "tools/payload/authenticode_signer.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace swiftsetup {

namespace {

// SpcIndirectDataContent: what an Authenticode signature signs, the program's own hash.
constexpr char kAuthenticodeContent[] = "1.3.6.1.4.1.311.2.1.4";

struct Pkcs7Free {
    void operator()(PKCS7* p7) const { PKCS7_free(p7); }
};
// The stack of PKCS7_get0_signers: the certificates in it belong to the PKCS#7 structure.
struct SignerStackFree {
    void operator()(STACK_OF(X509)* signers) const { sk_X509_free(signers); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

// OpenSSL reports why it refused bytes on the thread's error queue; nothing is left there.
class ErrorQueueCleaner {
public:
    ErrorQueueCleaner() = default;
    ~ErrorQueueCleaner() { ERR_clear_error(); }
    ErrorQueueCleaner(const ErrorQueueCleaner&) = delete;
    ErrorQueueCleaner& operator=(const ErrorQueueCleaner&) = delete;
};

// RFC 2253's order (most specific part first) and escapes, with ", " between the parts and
// UTF-8 shown as it is.
bool nameText(const X509_NAME* name, std::string& text) {
    if (name == nullptr) return false;
    const std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
    if (!bio) return false;
    const unsigned long flags =
        (XN_FLAG_RFC2253 & ~(XN_FLAG_SEP_MASK | ASN1_STRFLGS_ESC_MSB)) | XN_FLAG_SEP_CPLUS_SPC;
    if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) return false;
    char* bytes = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &bytes);
    if (length < 0 || (length > 0 && bytes == nullptr)) return false;
    text.assign(bytes == nullptr ? "" : bytes, static_cast<size_t>(length));
    return true;
}

}  // namespace

bool authenticodeSigner(const uint8_t* der, size_t length, std::string& subject, std::string& problem) {
    const ErrorQueueCleaner cleaner;
    const unsigned char* cursor = der;
    const std::unique_ptr<PKCS7, Pkcs7Free> p7(
        d2i_PKCS7(nullptr, &cursor, static_cast<long>(std::min<size_t>(length, LONG_MAX))));
    if (!p7) {
        problem = "the certificate entry is not DER-encoded PKCS#7";
        return false;
    }
    if (!PKCS7_type_is_signed(p7.get()) || p7->d.sign == nullptr) {
        problem = "the PKCS#7 structure is not signed data";
        return false;
    }
    const PKCS7* content = p7->d.sign->contents;
    char type[128] = "";
    if (content == nullptr || content->type == nullptr ||
        OBJ_obj2txt(type, sizeof(type), content->type, 1) <= 0 || std::strcmp(type, kAuthenticodeContent) != 0) {
        problem = std::string("the signed content is of type ") + (type[0] != '\0' ? type : "(unreadable)") +
                  ", not Authenticode's " + kAuthenticodeContent;
        return false;
    }
    STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(p7.get());
    if (infos == nullptr || sk_PKCS7_SIGNER_INFO_num(infos) <= 0) {
        problem = "the signed data names no signer";
        return false;
    }
    const std::unique_ptr<STACK_OF(X509), SignerStackFree> signers(PKCS7_get0_signers(p7.get(), nullptr, 0));
    if (!signers || sk_X509_num(signers.get()) <= 0 || sk_X509_value(signers.get(), 0) == nullptr) {
        const PKCS7_SIGNER_INFO* info = sk_PKCS7_SIGNER_INFO_value(infos, 0);
        std::string issuer;
        if (info != nullptr && info->issuer_and_serial != nullptr &&
            nameText(info->issuer_and_serial->issuer, issuer)) {
            problem = "the signer's certificate, issued by " + issuer + ", is not among the signature's certificates";
        } else {
            problem = "the signer's certificate is not among the signature's certificates";
        }
        return false;
    }
    if (!nameText(X509_get_subject_name(sk_X509_value(signers.get(), 0)), subject)) {
        problem = "the signer's certificate has a subject that cannot be read";
        return false;
    }
    return true;
}

}  // namespace swiftsetup
