#include "presentation/frm_flat_black.h"

#include "session/state/misc.h"

namespace nrvnc {

FrmFlatBlack::FrmFlatBlack(Misc& misc) : misc_(misc) {}

FrmFlatBlack::~FrmFlatBlack() = default;

void FrmFlatBlack::Load() {
    if (form_) return;
    Form_Design design;
    design.Caption = "Flat Black";
    // A bare surface: no frame, so its drawing area is the whole screen.
    design.Border = Border_Style::None;
    design.Control_Box = false;
    design.Show_In_Taskbar = false;
    design.Back_Color = Rgb(0, 0, 0);
    design.Fore_Color = misc_.Sys.forms.System_Color(8);
    form_ = misc_.Sys.forms.Load_Form(design, *this);
    Form_Load();
}

void FrmFlatBlack::Unload() {
    form_.reset();
}

Form& FrmFlatBlack::form() {
    if (!form_) Load();
    return *form_;
}

void FrmFlatBlack::Form_Load() {
    Forms_Runtime& forms = misc_.Sys.forms;
    form_->Set_Top(0);
    form_->Set_Left(0);
    form_->Set_Height(forms.Screen_Height());
    form_->Set_Width(forms.Screen_Width());
}

FrmFlatBlack& frmFlatBlack(Misc& misc) {
    return misc.Single_Instance<FrmFlatBlack>();
}

}  // namespace nrvnc
