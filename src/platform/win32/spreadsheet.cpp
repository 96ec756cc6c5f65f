// Named arguments go in the order COM wants them: DISPPARAMS holds them last-to-first, and
// their DISPIDs come from the same GetIDsOfNames call as the member's.
#include "platform/win32/spreadsheet.h"

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/ansi.h"

namespace corvane {

namespace {

[[noreturn]] void Fail(const std::string& what, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  throw AutomationError(what + " failed with HRESULT " + code);
}

void Check(const std::string& what, HRESULT hr) {
  if (FAILED(hr)) Fail(what, hr);
}

}  // namespace

DispatchRef::DispatchRef(const DispatchRef& other) : p_(other.p_) {
  if (p_) p_->AddRef();
}

DispatchRef& DispatchRef::operator=(const DispatchRef& other) {
  if (other.p_) other.p_->AddRef();
  if (p_) p_->Release();
  p_ = other.p_;
  return *this;
}

DispatchRef::~DispatchRef() {
  if (p_) p_->Release();
}

DispatchRef InvokeMember(const DispatchRef& object, const std::string& member, InvokeKind kind,
                         const std::vector<AutomationArg>& args, bool want_object) {
  if (!object.get()) throw AutomationError(member + ": no object");
  // Names: the member first, then each named argument.
  std::vector<std::wstring> names{Utf8ToWide(member)};
  for (const AutomationArg& a : args) {
    if (!a.name.empty()) names.push_back(Utf8ToWide(a.name));
  }
  std::vector<LPOLESTR> name_ptrs;
  for (std::wstring& n : names) name_ptrs.push_back(n.data());
  std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
  Check("GetIDsOfNames(" + member + ")",
        object.get()->GetIDsOfNames(IID_NULL, name_ptrs.data(), static_cast<UINT>(names.size()),
                                    LOCALE_USER_DEFAULT, ids.data()));

  // DISPPARAMS: named arguments first (in any order, with their ids), then positional ones
  // in reverse; a property put's value carries DISPID_PROPERTYPUT.
  std::vector<VARIANT> values;
  std::vector<DISPID> named_ids;
  std::vector<const AutomationArg*> named;
  std::vector<const AutomationArg*> positional;
  for (const AutomationArg& a : args) (a.name.empty() ? positional : named).push_back(&a);
  auto to_variant = [](const AutomationArg& a) {
    VARIANT v;
    ::VariantInit(&v);
    if (a.is_text) {
      v.vt = VT_BSTR;
      v.bstrVal = ::SysAllocString(Utf8ToWide(a.text).c_str());
    } else {
      v.vt = VT_BOOL;
      v.boolVal = a.truth ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return v;
  };
  for (size_t i = named.size(); i-- > 0;) {
    values.push_back(to_variant(*named[i]));
    named_ids.push_back(ids[1 + i]);
  }
  for (size_t i = positional.size(); i-- > 0;) values.push_back(to_variant(*positional[i]));
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = values.empty() ? nullptr : values.data();
  params.cArgs = static_cast<UINT>(values.size());
  params.rgdispidNamedArgs = named_ids.empty() ? nullptr : named_ids.data();
  params.cNamedArgs = static_cast<UINT>(named_ids.size());
  WORD flags = DISPATCH_METHOD;
  if (kind == InvokeKind::kGet) flags = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
  if (kind == InvokeKind::kPut) {
    flags = DISPATCH_PROPERTYPUT;
    params.rgdispidNamedArgs = &put_id;
    params.cNamedArgs = 1;
  }

  VARIANT result;
  ::VariantInit(&result);
  EXCEPINFO exception{};
  UINT bad_arg = 0;
  const HRESULT hr = object.get()->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                          &result, &exception, &bad_arg);
  for (VARIANT& v : values) ::VariantClear(&v);
  if (exception.bstrSource) ::SysFreeString(exception.bstrSource);
  if (exception.bstrDescription) ::SysFreeString(exception.bstrDescription);
  if (exception.bstrHelpFile) ::SysFreeString(exception.bstrHelpFile);
  if (FAILED(hr)) {
    ::VariantClear(&result);
    Fail("Invoke(" + member + ")", hr);
  }
  DispatchRef answer;
  if (want_object) {
    if (result.vt != VT_DISPATCH || !result.pdispVal) {
      ::VariantClear(&result);
      throw AutomationError(member + " did not answer with an object");
    }
    result.pdispVal->AddRef();
    answer = DispatchRef(result.pdispVal);
  }
  ::VariantClear(&result);
  return answer;
}

namespace {

AutomationArg Text(const std::string& text, const std::string& name = "") {
  return {name, true, text, false};
}

AutomationArg Truth(bool value, const std::string& name = "") { return {name, false, "", value}; }

class ComSpreadsheetApplication : public SpreadsheetApplication {
 public:
  explicit ComSpreadsheetApplication(DispatchRef app) : app_(std::move(app)) {}
  void SetScreenUpdating(bool on) override {
    InvokeMember(app_, "ScreenUpdating", InvokeKind::kPut, {Truth(on)});
  }
  void OpenWorkbook(const std::string& path) override {
    InvokeMember(Workbooks(), "Open", InvokeKind::kMethod, {Text(path)});
  }
  void SendMail(const std::string& workbook, const std::string& recipients,
                const std::string& subject) override {
    InvokeMember(Workbook(workbook), "SendMail", InvokeKind::kMethod,
                 {Text(recipients, "Recipients"), Text(subject, "Subject")});
  }
  void CloseWorkbook(const std::string& workbook, bool save_changes) override {
    InvokeMember(Workbook(workbook), "Close", InvokeKind::kMethod,
                 {Truth(save_changes, "SaveChanges")});
  }
  void SetCaption(const std::string& caption) override {
    InvokeMember(app_, "Caption", InvokeKind::kPut, {Text(caption)});
  }
  void Quit() override { InvokeMember(app_, "Quit", InvokeKind::kMethod, {}); }

 private:
  DispatchRef Workbooks() { return InvokeMember(app_, "Workbooks", InvokeKind::kGet, {}, true); }
  DispatchRef Workbook(const std::string& name) {
    return InvokeMember(Workbooks(), "Item", InvokeKind::kGet, {Text(name)}, true);
  }
  DispatchRef app_;
};

}  // namespace

std::unique_ptr<SpreadsheetApplication> WrapSpreadsheetApplication(DispatchRef application) {
  return std::make_unique<ComSpreadsheetApplication>(std::move(application));
}

ComSpreadsheetAutomation::ComSpreadsheetAutomation() {
  initialised_ = SUCCEEDED(::CoInitialize(nullptr));
}

ComSpreadsheetAutomation::~ComSpreadsheetAutomation() {
  if (initialised_) ::CoUninitialize();
}

std::unique_ptr<SpreadsheetApplication> ComSpreadsheetAutomation::Create(
    const std::string& prog_id) {
  CLSID clsid{};
  Check("CLSIDFromProgID(" + prog_id + ")", ::CLSIDFromProgID(Utf8ToWide(prog_id).c_str(), &clsid));
  IDispatch* app = nullptr;
  Check("CoCreateInstance(" + prog_id + ")",
        ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                           IID_IDispatch, reinterpret_cast<void**>(&app)));
  return WrapSpreadsheetApplication(DispatchRef(app));
}

}  // namespace corvane
