// The scanner model read from the registry, and what the window then offers; the
// no-pages state a user meets at the start.
#include "Cases.h"

using namespace harness;

namespace {

const std::vector<std::string> kFullRange = {"Current Page", "Batch", "File", "From Current Page", "Specify"};
const std::vector<std::string> kCurrentOnly = {"Current Page"};

// A model key, the scan range stored in the settings file, and what comes of it.
struct ModelRow {
    const char* name;
    const char* product; // the ProductId value; null: other values only
    int storedRange;
    bool orientation; // the orientation controls are shown
    bool fullRange;   // all five scan ranges, else "Current Page" only
    int rangeAfter;   // stored in the settings file at exit
};

const ModelRow kModels[] = {
    {"model_710ktr", "Pagewell QX710KTR", 4, false, true, 4},
    {"model_unknown", "Pagewell QX500 sheetfeed", 2, false, true, 2},
    // Only a value named exactly "ProductId" counts.
    {"model_no_product_value", nullptr, 0, false, true, 0},
    {"model_720ktr", "Pagewell QX720KTR rev.B", 3, true, true, 3},
    {"model_720", "Pagewell QX720", 4, true, false, 0},
    {"model_710", "Pagewell QX710", 4, false, false, 0},
    // "QX720" is looked for first.
    {"model_both_names", "QX710KTR/QX720", 1, true, false, 0},
};

void RunModel(const ModelRow& row)
{
    ModelKey key;
    if (row.product) {
        key.SetProduct(row.product);
    } else {
        key.DeleteValue("ProductId");
        key.SetValue("productid", "Pagewell QX720");
        key.SetValue("Model", "QX710");
        key.SetValue("Description", "QX720KTR");
    }
    Program prog(row.name);
    Bytes in = Defaults(prog);
    PutInt(in, kOffScanRange, row.storedRange);
    HWND h = StartWith(prog, in);
    if (!h)
        return;
    for (int id : {IDC_SCREEN_LABEL, IDC_PORTRAIT, IDC_LANDSCAPE, IDC_PORTRAIT_PICTURE, IDC_LANDSCAPE_PICTURE})
        CHECK_EQ(Visible(h, id), row.orientation);
    CHECK(ComboItems(h, IDC_SCAN_RANGE) == (row.fullRange ? kFullRange : kCurrentOnly));
    CHECK_EQ(CurSel(h, IDC_SCAN_RANGE), row.fullRange ? row.storedRange : 0);
    bool specify = row.fullRange && row.storedRange == kRangeSpecify;
    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        CHECK_EQ(Enabled(h, id), specify);
    CHECK(prog.CloseNormally());
    CHECK_EQ(SavedInt(prog, kOffScanRange), row.rangeAfter);
}

// What a user sees at the start with no pages, and where the keys go.
void ExpectNoPagesState(HWND h, bool specify, bool autoSave)
{
    CHECK_EQ(Text(h, IDC_SHOW_PAGE), std::string("0"));
    CHECK_EQ(Text(h, IDC_PAGE_TOTAL), std::string("/ 0"));
    for (int id : {IDC_SHOW_PAGE, IDC_PAGE_TOTAL, IDC_SHOW_PAGE_LABEL, IDC_ACTUAL_SIZE})
        CHECK(!Enabled(h, id));
    for (int id : {IDC_PAGES_LABEL, IDC_PAGES_TO_SCAN, IDC_PAGES_SPIN})
        CHECK_EQ(Enabled(h, id), specify);
    // Nothing else shows, and every option a user sees but Pages to Scan takes input.
    int nVisible = 0, nEnabled = 0;
    for (HWND c = ::GetWindow(h, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
        if (::GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE) {
            ++nVisible;
            nEnabled += ::IsWindowEnabled(c) != 0;
        }
    CHECK_EQ(nVisible, 29);
    CHECK_EQ(nEnabled, specify ? 25 : 22);
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, IDC_ALL_PAGES), BM_GETCHECK, 0, 0), BST_CHECKED);

    // Six buttons, a separator after Save and after Show Driver.
    HWND tb = ToolBar(h);
    CHECK_EQ((int)::SendMessageA(tb, TB_BUTTONCOUNT, 0, 0), 8);
    const int index[] = {0, 1, 2, 4, 5, 7};
    const char* texts[] = {"&Clear",       autoSave ? "&Scan && Save" : "&Scan",
                           "S&ave...",     "&Preferences...",
                           "Show &Driver", "Help  F1"};
    for (int i = 0; i < 6; ++i) {
        CHECK_EQ((int)::SendMessageA(tb, TB_COMMANDTOINDEX, ID_CMD_CLEAR + i, 0), index[i]);
        CHECK_EQ(ButtonText(h, ID_CMD_CLEAR + i), std::string(texts[i]));
        CHECK_EQ(ButtonEnabled(h, ID_CMD_CLEAR + i), i != 0 && i != 2);
    }
    CHECK(WaitFocus(h, IDC_MODE));
    CHECK_EQ(DefaultId(h), IDC_RESTORE_DEFAULTS);
}

void NoPages(bool specifyAuto)
{
    ModelKey key;
    Program prog(specifyAuto ? "nopagesauto" : "nopages");
    Bytes in = Defaults(prog);
    if (specifyAuto) {
        PutInt(in, kOffAutoSave, 1);
        PutInt(in, kOffScanRange, kRangeSpecify);
        PutInt(in, kOffOrientation, 1);
    }
    HWND h = StartModel(prog, key, "Pagewell QX720KTR", in);
    if (!h)
        return;
    ExpectNoPagesState(h, specifyAuto, specifyAuto);
    CHECK(ComboItems(h, IDC_MODE) ==
          std::vector<std::string>({"Text (Error Diffusion)", "Black and White", "B/W (Error Diffusion)"}));
    CHECK_EQ(CurSel(h, IDC_MODE), 0);
    CHECK(ComboItems(h, IDC_RESOLUTION) == std::vector<std::string>({"200 dpi", "300 dpi", "400 dpi "}));
    CHECK_EQ(Text(h, IDC_RESOLUTION), std::string("400 dpi "));
    CHECK(ComboItems(h, IDC_PAGE_SIZE) == std::vector<std::string>({"A4", "Letter", "B5", "Trimming", "Maximum"}));
    CHECK_EQ(Text(h, IDC_PAGE_SIZE), std::string(USLocale() ? "Letter" : "A4"));
    CHECK_EQ(Text(h, IDC_PAGES_TO_SCAN), std::string("001"));
    CHECK(WaitSpin(h, 1));
    CHECK_EQ(::SendMessageA(::GetDlgItem(h, IDC_PORTRAIT), BM_GETCHECK, 0, 0) == BST_CHECKED, !specifyAuto);
    CHECK_EQ(::SendMessageA(::GetDlgItem(h, IDC_LANDSCAPE), BM_GETCHECK, 0, 0) == BST_CHECKED, specifyAuto);
    CHECK(prog.CloseNormally());
}

} // namespace

std::vector<Case> ModelCases()
{
    std::vector<Case> cases;
    for (const ModelRow& row : kModels)
        cases.push_back({row.name, [&row] { RunModel(row); }});
    cases.push_back({"nopages_defaults", [] { NoPages(false); }});
    cases.push_back({"nopages_autosave_specify", [] { NoPages(true); }});
    return cases;
}
