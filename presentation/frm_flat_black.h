// frmFlatBlack: a black form the size of the screen, never shown, used as
// the surface on which font sizes are tried.
#pragma once

#include <memory>

#include "platform/forms.h"

namespace nrvnc {

class Misc;

class FrmFlatBlack : public Form_Events {
  public:
    explicit FrmFlatBlack(Misc& misc);
    ~FrmFlatBlack() override;

    void Load();  // loads without showing; the load handler sizes it
    void Unload();
    bool Loaded() const { return form_ != nullptr; }
    Form& form();  // loads first when needed

  private:
    void Form_Load();  // full screen at the top left corner

    Misc& misc_;
    std::unique_ptr<Form> form_;
};

// The single shared instance, created on first use and kept in Misc.
FrmFlatBlack& frmFlatBlack(Misc& misc);

}  // namespace nrvnc
