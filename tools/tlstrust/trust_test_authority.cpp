// Adds a certificate authority (a DER file) to the local machine's Root store,
// so the system's chain engine trusts certificates it signed. Run under the
// test Wine prefix only; a user's machine never gets the test authority.
//
//   quarn_trust_ca.exe add ca.der
//   quarn_trust_ca.exe check ca.der     (exit 0 when it is trusted already)
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct StoreCloser {
    HCERTSTORE store;
    ~StoreCloser()
    {
        if (store)
            CertCloseStore(store, 0);
    }
};

bool ReadFile(const char* path, std::vector<BYTE>& bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    // An authority's certificate is a few kilobytes.
    return !bytes.empty() && bytes.size() < 64 * 1024;
}

bool IsInStore(HCERTSTORE store, const std::vector<BYTE>& der)
{
    PCCERT_CONTEXT wanted = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), DWORD(der.size()));
    if (!wanted)
        return false;
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
    CertFreeCertificateContext(wanted);
    if (!found)
        return false;
    CertFreeCertificateContext(found);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::string(argv[1]) != "add" && std::string(argv[1]) != "check")) {
        std::fprintf(stderr, "usage: quarn_trust_ca add|check CA.der\n");
        return 2;
    }
    std::vector<BYTE> der;
    if (!ReadFile(argv[2], der)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    StoreCloser root{CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root")};
    if (!root.store) {
        std::fprintf(stderr, "cannot open the Root store (%lu)\n", GetLastError());
        return 1;
    }
    if (std::string(argv[1]) == "check")
        return IsInStore(root.store, der) ? 0 : 1;
    if (!CertAddEncodedCertificateToStore(
            root.store, X509_ASN_ENCODING, der.data(), DWORD(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        std::fprintf(stderr, "cannot add the authority (%lu)\n", GetLastError());
        return 1;
    }
    std::printf("trusted %s\n", argv[2]);
    return 0;
}
