#include "comum/cancelamento.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comum/erro.hpp"

namespace cds {
namespace {

// What a request does at each point of the run's connection: nothing to cancel before it,
// the front end's own step while it is being made, the call's cancel once it is made.
TEST(Cancelamento, CadaPedidoVaiParaOQueAExecucaoFazAgora) {
    std::vector<std::string> feito;
    Cancelamento c;
    EXPECT_FALSE(c.pedido());
    EXPECT_NO_THROW(c.verifica());

    c.conectando();
    c.pede([&] { feito.push_back("ao conectar"); });
    EXPECT_TRUE(c.pedido());
    EXPECT_THROW(c.verifica(), ErroInterrompido);

    c.conectada([&] { feito.push_back("cancela a chamada"); });
    c.pede([&] { feito.push_back("ao conectar de novo"); });
    c.solta();
    c.pede();
    EXPECT_EQ(feito, (std::vector<std::string>{"ao conectar", "cancela a chamada"}));

    // A run asked to stop makes no connection.
    EXPECT_THROW(c.conectando(), ErroInterrompido);
}

}  // namespace
}  // namespace cds
