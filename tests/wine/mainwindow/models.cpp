// The scanner model read from the registry, and what the window then offers; the
// controls and toolbar of the no-pages state.
#include "Cases.h"

using namespace harness;
using namespace harness;

namespace {

const std::vector<std::string> kFullRange = {"Current Page", "Batch", "File", "From Current Page", "Specify"};
const std::vector<std::string> kCurrentOnly = {"Current Page"};
const int kOrientationIds[] = {1053, 1108, 1109, 1111, 1112};

struct Expect {
    bool orientation;
    bool fullRange;
    int scanRangeAfter;   // stored in the settings file at exit
};

void ExpectModelEffects(HWND h, const Expect& e, int storedRange)
{
    for (int id : kOrientationIds)
        CHECK_EQ(Visible(h, id), e.orientation);
    std::vector<std::string> items = ComboItems(h, 1011);
    CHECK(items == (e.fullRange ? kFullRange : kCurrentOnly));
    int sel = CurSel(h, 1011);
    CHECK_EQ(sel, e.fullRange ? storedRange : 0);
    bool specify = e.fullRange && storedRange == 4;
    for (int id : {1052, 1110, 1114})
        CHECK_EQ(Enabled(h, id), specify);
}

// Starts the program with the product id in the registry (no value when null)
// and a settings file whose scan range is storedRange.
void RunModel(const char* tag, const std::function<void(ModelKey&)>& setKey, const Expect& e, int storedRange = 0)
{
    ModelKey key;
    setKey(key);
    Program prog(tag);
    Bytes in = Defaults(prog);
    PutInt(in, kOffScanRange, storedRange);
    HWND h = StartWith(prog, in);
    if (!h)
        return;
    ExpectModelEffects(h, e, storedRange);
    CHECK(prog.CloseNormally());
    Bytes out;
    CHECK(ReadFileBytes(prog.SettingsPath(), out));
    if (out.size() == (size_t)kSettingsSize)
        CHECK_EQ(GetInt(out, kOffScanRange), e.scanRangeAfter);
}

std::function<void(ModelKey&)> Product(const char* id)
{
    return [id](ModelKey& k) { k.SetProduct(id); };
}

void Model710Ktr()
{
    // Result 0: full list, no orientation; "Specify" from the file stays.
    RunModel("m710ktr", Product("Pagewell QX710KTR"), {false, true, 4}, 4);
}

void ModelUnknown()
{
    RunModel("mother", Product("Pagewell QX500 sheetfeed"), {false, true, 2}, 2);
}

void ModelNoProductValue()
{
    // Only a value named exactly "ProductId" counts; names differing in case and
    // other values with model strings are not read as the product.
    RunModel("mnovalue",
             [](ModelKey& k) {
                 k.DeleteValue("ProductId");
                 k.SetValue("productid", "Pagewell QX720");
                 k.SetValue("Model", "QX710");
                 k.SetValue("Description", "QX720KTR");
             },
             {false, true, 0});
}

void Model720Ktr()
{
    // Result 1, with more characters after the model string.
    RunModel("m720ktr", Product("Pagewell QX720KTR rev.B"), {true, true, 3}, 3);
}

void Model720()
{
    // Result 2: only "Current Page", stored back as the scan range.
    RunModel("m720", Product("Pagewell QX720"), {true, false, 0}, 4);
}

void Model710()
{
    // Result 3, also when the settings file stored "Specify".
    RunModel("m710", Product("Pagewell QX710"), {false, false, 0}, 4);
}

void ModelBothNames()
{
    // "QX720" is looked for first.
    RunModel("mboth", Product("QX710KTR/QX720"), {true, false, 0}, 1);
}

// ---- no-pages state ------------------------------------------------------------------

void ExpectNoPagesState(HWND h, bool specify, bool autoSave)
{
    CHECK_EQ(Text(h, 1005), std::string("0"));
    CHECK(!Enabled(h, 1005));
    CHECK_EQ(Text(h, 1022), std::string("/ 0"));
    CHECK(!Enabled(h, 1022));
    CHECK(!Enabled(h, 1078));
    CHECK(!Enabled(h, 1023));
    CHECK(!Visible(h, 1042));
    for (int id : {1113, 1103, 1071, 1068, 1104, 1105, 1063, 1073, 1069, 1106, 1064, 1074, 1070, 1107, 1072, 1075,
                   1076})
        if (Visible(h, id))
            CHECK_EQ(id, -1);
    // Created hidden and never shown.
    for (int id : {1007, 1008, 1009, 1010, 1013, 1019, 1029, 2})
        if (Visible(h, id))
            CHECK_EQ(id, -1);
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1013), BM_GETCHECK, 0, 0), BST_CHECKED);
    for (int id : {1052, 1110, 1114})
        CHECK_EQ(Enabled(h, id), specify);
    for (int id : {1051, 1011, 1002, 1006, 1047, 1057, 1049, 1050, 1058})
        if (!Enabled(h, id))
            CHECK_EQ(id, -1);
    CHECK(Visible(h, 1057));

    CHECK(!ButtonEnabled(h, 2000));
    CHECK(ButtonEnabled(h, 2001));
    CHECK(!ButtonEnabled(h, 2002));
    CHECK(ButtonEnabled(h, 2003));
    CHECK(ButtonEnabled(h, 2004));
    CHECK(ButtonEnabled(h, 2005));

    // Six buttons, a separator after Save and after Show Driver.
    HWND tb = ToolBar(h);
    CHECK_EQ((int)::SendMessageA(tb, TB_BUTTONCOUNT, 0, 0), 8);
    const int index[] = {0, 1, 2, 4, 5, 7};
    for (int i = 0; i < 6; ++i)
        CHECK_EQ((int)::SendMessageA(tb, TB_COMMANDTOINDEX, 2000 + i, 0), index[i]);
    const char* texts[] = {"&Clear", autoSave ? "&Scan && Save" : "&Scan", "S&ave...", "&Preferences...",
                           "Show &Driver", "Help  F1"};
    for (int i = 0; i < 6; ++i)
        CHECK_EQ(ButtonText(h, 2000 + i), std::string(texts[i]));

    CHECK(WaitFocus(h, 1047));
    CHECK_EQ(DefaultId(h), 1057);
}

void NoPagesDefaults()
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog("nopages");
    HWND h = StartWith(prog);
    if (!h)
        return;
    ExpectNoPagesState(h, false, false);
    CHECK(ComboItems(h, 1047) ==
          std::vector<std::string>({"Text (Error Diffusion)", "Black and White", "B/W (Error Diffusion)"}));
    CHECK_EQ(CurSel(h, 1047), 0);
    CHECK(ComboItems(h, 1002) == std::vector<std::string>({"200 dpi", "300 dpi", "400 dpi "}));
    CHECK_EQ(SelectedText(h, 1002), std::string("400 dpi "));
    CHECK(ComboItems(h, 1006) == std::vector<std::string>({"A4", "Letter", "B5", "Trimming", "Maximum"}));
    CHECK_EQ(SelectedText(h, 1006), std::string(USLocale() ? "Letter" : "A4"));
    CHECK_EQ(Text(h, 1110), std::string("001"));
    CHECK(WaitSpin(h, 1));
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1108), BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1109), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK(prog.CloseNormally());
}

void NoPagesAutoSaveSpecify()
{
    ModelKey key;
    key.SetProduct("Pagewell QX720KTR");
    Program prog("nopagesauto");
    Bytes in = Defaults(prog);
    PutInt(in, kOffAutoSave, 1);
    PutInt(in, kOffScanRange, 4);
    PutInt(in, kOffOrientation, 1);
    HWND h = StartWith(prog, in);
    if (!h)
        return;
    ExpectNoPagesState(h, true, true);
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1109), BM_GETCHECK, 0, 0), BST_CHECKED);
    CHECK_EQ((int)::SendMessageA(::GetDlgItem(h, 1108), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    CHECK(prog.CloseNormally());
}

} // namespace

std::vector<Case> ModelCases()
{
    return {
        {"model_710ktr", Model710Ktr},
        {"model_unknown", ModelUnknown},
        {"model_no_product_value", ModelNoProductValue},
        {"model_720ktr", Model720Ktr},
        {"model_720", Model720},
        {"model_710", Model710},
        {"model_both_names", ModelBothNames},
        {"nopages_defaults", NoPagesDefaults},
        {"nopages_autosave_specify", NoPagesAutoSaveSpecify},
    };
}
