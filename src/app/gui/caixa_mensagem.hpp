#pragma once

#include <QMessageBox>

namespace cds {

// Where the window's modal boxes go. The window builds each box whole (text, caption, icon,
// buttons) and hands it here; the program shows it and waits, a test looks at it instead.
class CaixaMensagem {
  public:
    virtual ~CaixaMensagem() = default;
    // Returns when the operator has closed the box.
    virtual void exibe(QMessageBox& caixa) { caixa.exec(); }
};

}  // namespace cds
