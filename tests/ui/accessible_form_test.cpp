#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>
#include <vector>

#include "skin/accessible_form.h"

namespace tovarin::ui {
namespace {

using namespace tovarin::skin;

class FakeSource : public AccessibleSource {
public:
    FakeSource() : window(CreateWindowExW(0, L"STATIC", L"标题", WS_POPUP, 0, 0, 100, 50, nullptr, nullptr, nullptr, nullptr)) {}
    ~FakeSource() { DestroyWindow(window); }
    HWND Window() const override { return window; }
    LONG WindowRole() const override { return ROLE_SYSTEM_DIALOG; }
    std::vector<AccessibleItem> Items() const override { return items; }
    int FocusedItem() const override { return -1; }
    void DoDefaultAction(int index) override { actions.push_back(index); }

    HWND window;
    std::vector<AccessibleItem> items;
    std::vector<int> actions;
};

VARIANT Child(LONG id) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring Take(BSTR text) {
    std::wstring out = text ? std::wstring(text, SysStringLen(text)) : L"<null>";
    SysFreeString(text);
    return out;
}

class AccessibleFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        source.items = {{L"继续安装", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_FOCUSABLE, false, L"", {0, 0, 10, 10}, L"按下"},
                        {L"进度", ROLE_SYSTEM_PROGRESSBAR, STATE_SYSTEM_READONLY, true, L"37%", {0, 20, 50, 30}, L""}};
    }
    void TearDown() override { CoUninitialize(); }

    // The client object as a screen reader gets it: WM_GETOBJECT's answer, unpacked.
    IAccessible* Client(FormAccessible& form) {
        LRESULT result = 0;
        if (!form.Answer(0, OBJID_CLIENT, result)) return nullptr;
        IAccessible* object = nullptr;
        ObjectFromLresult(result, IID_IAccessible, 0, reinterpret_cast<void**>(&object));
        return object;
    }

    FakeSource source;
};

TEST_F(AccessibleFormTest, AnswersTheClientObjectOnly) {
    FormAccessible form(source);
    LRESULT result = 0;
    EXPECT_FALSE(form.Answer(0, OBJID_WINDOW, result));
    IAccessible* object = Client(form);
    ASSERT_NE(object, nullptr);
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 2);
    BSTR text = nullptr;
    EXPECT_EQ(object->get_accName(Child(CHILDID_SELF), &text), S_OK);
    EXPECT_EQ(Take(text), L"标题");
    VARIANT role{};
    EXPECT_EQ(object->get_accRole(Child(CHILDID_SELF), &role), S_OK);
    EXPECT_EQ(role.lVal, ROLE_SYSTEM_DIALOG);
    object->Release();
}

TEST_F(AccessibleFormTest, ItemsByChildIdAndBadIdsRefused) {
    FormAccessible form(source);
    IAccessible* object = Client(form);
    ASSERT_NE(object, nullptr);
    BSTR text = nullptr;
    EXPECT_EQ(object->get_accName(Child(1), &text), S_OK);
    EXPECT_EQ(Take(text), L"继续安装");
    EXPECT_EQ(object->get_accValue(Child(1), &text), S_FALSE);  // a button has no value
    EXPECT_EQ(Take(text), L"<null>");
    EXPECT_EQ(object->get_accValue(Child(2), &text), S_OK);
    EXPECT_EQ(Take(text), L"37%");
    VARIANT state{};
    EXPECT_EQ(object->get_accState(Child(2), &state), S_OK);
    EXPECT_EQ(state.lVal, STATE_SYSTEM_READONLY);
    for (LONG bad : {3L, -1L, 100L}) EXPECT_EQ(object->get_accName(Child(bad), &text), E_INVALIDARG) << bad;
    VARIANT notANumber{};
    notANumber.vt = VT_BSTR;
    EXPECT_EQ(object->get_accName(notANumber, &text), E_INVALIDARG);
    object->Release();
}

TEST_F(AccessibleFormTest, DefaultActionHandedToTheFormOnlyWhereThereIsOne) {
    FormAccessible form(source);
    IAccessible* object = Client(form);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->accDoDefaultAction(Child(1)), S_OK);
    EXPECT_EQ(object->accDoDefaultAction(Child(2)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(object->accDoDefaultAction(Child(CHILDID_SELF)), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(source.actions, std::vector<int>{0});
    object->Release();
}

TEST_F(AccessibleFormTest, AClientHoldingTheObjectAfterTheFormWentIsToldSo) {
    IAccessible* object = nullptr;
    {
        FormAccessible form(source);
        object = Client(form);
        ASSERT_NE(object, nullptr);
    }
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    BSTR text = nullptr;
    EXPECT_EQ(object->get_accName(Child(1), &text), CO_E_OBJNOTCONNECTED);
    object->Release();
}

}  // namespace
}  // namespace tovarin::ui
