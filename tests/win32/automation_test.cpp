// Late-bound automation: the calls reach IDispatch with the right names, arguments and
// flags, every failure becomes AutomationError, and on Wine, which has no spreadsheet
// program, the mail goes to the manual-send screen.
#include <gtest/gtest.h>

// oleauto.h needs the types of windows.h.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <map>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "app/wizard.h"
#include "fakes/fake_platform.h"
#include "form/screens.h"
#include "form/texts.h"
#include "mail/send_report.h"
#include "platform/win32/spreadsheet.h"

namespace corvane::test {
namespace {

std::string Narrow(const wchar_t* wide) {
  std::string out;
  for (; wide && *wide; ++wide) out += static_cast<char>(*wide);
  return out;
}

struct RecordedCall {
  std::string member;
  WORD flags = 0;
  std::vector<std::string> named;   // argument names, in DISPPARAMS order
  std::vector<std::string> values;  // "s:text" or "b:1", in DISPPARAMS order
};

// An object that answers every name with its own DISPID and records each Invoke. Members
// listed in `objects` answer with a child object of the same kind.
class RecordingDispatch final : public IDispatch {
 public:
  explicit RecordingDispatch(std::vector<RecordedCall>* log, std::string path = "")
      : log_(log), path_(std::move(path)) {}
  HRESULT fail_invoke = S_OK;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) {
      const std::string name = Narrow(names[i]);
      if (!ids_.count(name)) ids_[name] = static_cast<DISPID>(100 + ids_.size());
      ids[i] = ids_[name];
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO*, UINT*) override {
    RecordedCall call;
    call.member = path_ + NameOf(id);
    call.flags = flags;
    for (UINT i = 0; i < params->cNamedArgs; ++i) {
      call.named.push_back(params->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT
                               ? "<put>"
                               : NameOf(params->rgdispidNamedArgs[i]));
    }
    for (UINT i = 0; i < params->cArgs; ++i) {
      const VARIANT& v = params->rgvarg[i];
      call.values.push_back(v.vt == VT_BSTR ? "s:" + Narrow(v.bstrVal)
                                            : "b:" + std::to_string(v.boolVal == VARIANT_TRUE));
    }
    log_->push_back(call);
    if (FAILED(fail_invoke)) return fail_invoke;
    const std::string member = NameOf(id);
    if (member == "Workbooks" || member == "Item") {
      auto* child = new RecordingDispatch(log_, path_ + member + ".");
      child->AddRef();
      result->vt = VT_DISPATCH;
      result->pdispVal = child;
    }
    return S_OK;
  }

 private:
  std::string NameOf(DISPID id) const {
    for (const auto& [name, known] : ids_) {
      if (known == id) return name;
    }
    return "?";
  }
  std::vector<RecordedCall>* log_;
  std::string path_;
  std::map<std::string, DISPID> ids_;
  ULONG refs_ = 1;
};

TEST(ComSpreadsheet, CallsReachTheObjectModelAsNamed) {
  std::vector<RecordedCall> log;
  auto app = WrapSpreadsheetApplication(DispatchRef(new RecordingDispatch(&log)));
  app->SetScreenUpdating(false);
  app->OpenWorkbook("C:\\Lumbrook20260131PC-7.kik");
  app->SendMail("Lumbrook20260131PC-7.kik", "support@example.com", "Lumbrook20260131PC-7.kik");
  app->CloseWorkbook("Lumbrook20260131PC-7.kik", false);
  app->SetCaption("Microsoft Excel");
  app->Quit();

  auto find = [&](const std::string& member) -> const RecordedCall* {
    for (const RecordedCall& c : log) {
      if (c.member == member) return &c;
    }
    ADD_FAILURE() << member << " was not called";
    return nullptr;
  };
  if (const RecordedCall* c = find("ScreenUpdating")) {
    EXPECT_EQ(c->flags, DISPATCH_PROPERTYPUT);
    EXPECT_EQ(c->named, std::vector<std::string>{"<put>"});
    EXPECT_EQ(c->values, std::vector<std::string>{"b:0"});
  }
  if (const RecordedCall* c = find("Workbooks.Open")) {
    EXPECT_EQ(c->flags, DISPATCH_METHOD);
    EXPECT_EQ(c->values, std::vector<std::string>{"s:C:\\Lumbrook20260131PC-7.kik"});
  }
  if (const RecordedCall* c = find("Workbooks.Item.SendMail")) {
    // Named arguments: each value sits at the index of its name's DISPID.
    ASSERT_EQ(c->named.size(), 2u);
    ASSERT_EQ(c->values.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(c->values[i], c->named[i] == "Recipients" ? "s:support@example.com"
                                                          : "s:Lumbrook20260131PC-7.kik");
    }
    EXPECT_NE(c->named[0], c->named[1]);
  }
  if (const RecordedCall* c = find("Workbooks.Item.Close")) {
    EXPECT_EQ(c->named, std::vector<std::string>{"SaveChanges"});
    EXPECT_EQ(c->values, std::vector<std::string>{"b:0"});
  }
  if (const RecordedCall* c = find("Caption")) {
    EXPECT_EQ(c->values, std::vector<std::string>{"s:Microsoft Excel"});
  }
  if (const RecordedCall* c = find("Quit")) {
    EXPECT_TRUE(c->values.empty());
  }
  const RecordedCall* item = find("Workbooks.Item");
  if (item) {
    EXPECT_EQ(item->values, std::vector<std::string>{"s:Lumbrook20260131PC-7.kik"});
  }
}

TEST(ComSpreadsheet, FailedInvokeRaisesAutomationError) {
  std::vector<RecordedCall> log;
  auto* object = new RecordingDispatch(&log);
  object->fail_invoke = DISP_E_EXCEPTION;
  auto app = WrapSpreadsheetApplication(DispatchRef(object));
  EXPECT_THROW(app->Quit(), AutomationError);
  EXPECT_THROW(app->OpenWorkbook("x"), AutomationError);
}

TEST(ComSpreadsheet, WineHasNoSpreadsheetProgram) {
  ComSpreadsheetAutomation automation;
  EXPECT_THROW(automation.Create(kSpreadsheetProgId), AutomationError);
}

TEST(ComSpreadsheet, MailFallsBackToTheManualSendScreen) {
  FakePlatform fakes;
  ComSpreadsheetAutomation automation;
  Platform platform{fakes.registry, fakes.smart, fakes.system,  fakes.files,
                    fakes.shell,    automation,  fakes.desktop, fakes.composer};
  App app(platform);
  FMain& f = app.form;
  const auto& english = LanguageTexts(3);
  f.LBLABELS.items.assign(english.begin(), english.end());
  f.LBLIDIOMA.caption = "3";
  f.LBLFILENAME.caption = "C:\\Lumbrook20260131PC-7.kik";
  f.LBLFILENAMEONLY.caption = "Lumbrook20260131PC-7.kik";
  fakes.files.files["C:\\Lumbrook20260131PC-7.kik"] = "record\r\n";
  ShowMailQuestionStage(app);

  EXPECT_EQ(DispatchClick(app, Click::kYes), Outcome::kRunning);
  EXPECT_EQ(f.LBLSTAGE.caption, "7");
  EXPECT_TRUE(fakes.shell.started.empty());
  EXPECT_EQ(fakes.files.files.count("C:\\Lumbrook20260131PC-7.kik"), 1u);
}

}  // namespace
}  // namespace corvane::test
