#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "comum/erro.hpp"
#include "source/firebird.hpp"

namespace cds {
namespace {

ISC_STATUS texto(const char* t) {
    return reinterpret_cast<ISC_STATUS>(t);
}

// The embedded engine's own status when the user may not enter its lock folder (a user
// outside the firebird group on Debian): "operating system directive access failed
// -Permission denied -/tmp/firebird/". Opening a database, the operator is told how to get
// in, or to go through the server; once connected, or for another folder's trouble, the
// plain reason stays.
TEST(MotivoDoErro, pastaDeTravasSemPermissao) {
    struct Caso {
        ISC_STATUS codigo;
        firebird::Momento momento;
        bool dizOQueFazer;
    };
    const Caso casos[] = {
        {isc_sys_request, firebird::Momento::Conectando, true},
        {isc_sys_request, firebird::Momento::Conectado, false},
        {isc_lock_dir_access, firebird::Momento::Conectando, false},
    };
    for (const Caso& c : casos) {
        const ISC_STATUS vetor[] = {
            isc_arg_gds, c.codigo,   isc_arg_string, texto("access"),         isc_arg_unix, EACCES,
            isc_arg_gds, isc_random, isc_arg_string, texto("/tmp/firebird/"), isc_arg_end};
        firebird::Posse<Firebird::IStatus> status(firebird::mestre()->getStatus());
        status->setErrors(vetor);
        const Firebird::FbException excecao(status.get());
        std::string mensagem;
        try {
            firebird::lancaErroBanco(excecao, "conectar ao banco de dados em /srv/clinica.fdb",
                                     c.momento);
        } catch (const ErroBanco& e) {
            mensagem = e.what();
        }
        SCOPED_TRACE(mensagem);
        EXPECT_NE(mensagem.find("/tmp/firebird/"), std::string::npos);
        for (const char* parte :
             {"grupo firebird", "sudo adduser $USER firebird", "entre de novo na sessão",
              "DATABASE=localhost:/caminho/clinica.fdb"})
            EXPECT_EQ(mensagem.find(parte) != std::string::npos, c.dizOQueFazer) << parte;
        if (c.codigo == isc_sys_request) {
            EXPECT_NE(mensagem.find("operating system directive access failed -Permission denied "
                                    "-/tmp/firebird/"),
                      std::string::npos);
        }
    }
}

}  // namespace
}  // namespace cds
