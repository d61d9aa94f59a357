// The system's certificate authorities for libcurl, and the debug output.
#include "../platform.h"

#include <windows.h>
#include <wincrypt.h>

#include <set>
#include <string>

namespace platform {
namespace {

// Far above any real store; a store that claims more is not read further.
const std::size_t kMaxRootsBytes = 8 * 1024 * 1024;

// Each authority once, however many stores hold it.
bool IsNew(PCCERT_CONTEXT certificate, std::set<std::string>& seen)
{
    BYTE hash[20];
    DWORD size = sizeof hash;
    if (!CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash, &size))
        return false;
    return seen.insert(std::string(reinterpret_cast<const char*>(hash), size)).second;
}

void AppendPem(PCCERT_CONTEXT certificate, std::string& pem)
{
    DWORD size = 0;
    const DWORD format = CRYPT_STRING_BASE64HEADER;
    if (!CryptBinaryToStringA(certificate->pbCertEncoded, certificate->cbCertEncoded, format, nullptr, &size))
        return;
    if (size == 0 || pem.size() + size > kMaxRootsBytes)
        return;
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(certificate->pbCertEncoded, certificate->cbCertEncoded, format, &text[0], &size))
        return;
    text.resize(size);
    pem += text;
}

void AppendStore(DWORD location, const wchar_t* name, std::set<std::string>& seen, std::string& pem)
{
    HCERTSTORE store = CertOpenStore(
        CERT_STORE_PROV_SYSTEM_W, 0, 0, location | CERT_STORE_READONLY_FLAG | CERT_STORE_OPEN_EXISTING_FLAG, name);
    if (!store)
        return;
    PCCERT_CONTEXT certificate = nullptr;
    while ((certificate = CertEnumCertificatesInStore(store, certificate)) != nullptr) {
        if (IsNew(certificate, seen))
            AppendPem(certificate, pem);
    }
    CertCloseStore(store, 0);
}

std::string ReadRoots()
{
    // The user's and the machine's authorities, and those Windows fetched
    // into AuthRoot.
    std::set<std::string> seen;
    std::string pem;
    AppendStore(CERT_SYSTEM_STORE_CURRENT_USER, L"Root", seen, pem);
    AppendStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root", seen, pem);
    AppendStore(CERT_SYSTEM_STORE_LOCAL_MACHINE, L"AuthRoot", seen, pem);
    return pem;
}

}  // namespace

const std::string& SystemRootCertificates()
{
    static const std::string roots = ReadRoots();
    return roots;
}

// The ANSI form: Wine passes only it on to its debug channel.
void DebugNote(const std::string& text) { OutputDebugStringA(AnsiFromUtf8(text + "\n").c_str()); }

}  // namespace platform
