#include "view/PageImage.h"

#include "app/UtilityDlg.h"
#include "res/resource.h"
#include "settings/ScanSettings.h"
#include "store/PageStore.h"

#include <stdlib.h>

HLOCAL ReadShownPageImage()
{
    if (!g_pMainDlg || !g_pSettings || !g_pPageStore)
        return nullptr;
    const int n = atoi(g_pMainDlg->GetDlgItemText(IDC_SHOW_PAGE).c_str());
    char szName[256];
    if (!g_pSettings->BuildPageFileName(szName, n))
        return nullptr;
    return g_pPageStore->ReadPage(szName, n - 1);
}

const BYTE* DibBits(const BITMAPINFOHEADER* pbi)
{
    if (!pbi)
        return nullptr;
    return reinterpret_cast<const BYTE*>(pbi) + pbi->biSize + DibPaletteBytes(pbi);
}
