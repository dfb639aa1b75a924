#pragma once
#include <windows.h>

#include "kernel/product_info.h"
#include "win32/dialog.h"

namespace tidewell {

// The About box, shown modally from the tray menu.
class frmAbout : public win32::Dialog {
public:
    explicit frmAbout(ProductInfo product) : product_(std::move(product)) {}
    void ShowModal(HINSTANCE instance, HWND owner);

protected:
    INT_PTR handleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Form_Load();
    void cmdOK_Click();
    ProductInfo product_;
};

} // namespace tidewell
