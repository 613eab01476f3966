// The Microsoft Script Control through its dual interface IScriptControl.
// No SDK header describes it, so the slots the installer calls are laid out
// here by their place in the interface's table.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstddef>

#include "platform/script.h"

namespace {

// CLSID_ScriptControl {0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}
const CLSID kScriptControlClass = {0x0E59F1D5, 0x1FBE, 0x11D0, {0x8F, 0xF2, 0x00, 0xA0, 0xD1, 0x00, 0x38, 0xBC}};
// IID_IScriptControl {0E59F1D3-1FBE-11D0-8FF2-00A0D10038BC}
const IID kScriptControlInterface = {0x0E59F1D3, 0x1FBE, 0x11D0, {0x8F, 0xF2, 0x00, 0xA0, 0xD1, 0x00, 0x38, 0xBC}};

struct ScriptControl;
typedef HRESULT(STDMETHODCALLTYPE* TextMethod)(ScriptControl*, BSTR);

// IScriptControl's table: IUnknown, IDispatch, then its properties and
// methods in the order the interface declares them. Only the named slots
// are called.
struct ScriptControlTable {
  void* queryInterface;
  void* addRef;
  ULONG(STDMETHODCALLTYPE* release)(ScriptControl*);
  void* dispatch[4];  // GetTypeInfoCount, GetTypeInfo, GetIDsOfNames, Invoke
  void* getLanguage;
  TextMethod putLanguage;
  void* stateAndSite[4];  // State get and put, SitehWnd put and get
  void* getTimeout;
  HRESULT(STDMETHODCALLTYPE* putTimeout)(ScriptControl*, LONG);
  // AllowUI get and put, UseSafeSubset get and put, Modules, Error,
  // CodeObject, Procedures, _AboutBox, AddObject
  void* between[10];
  HRESULT(STDMETHODCALLTYPE* reset)(ScriptControl*);
  TextMethod addCode;
};
static_assert(offsetof(ScriptControlTable, release) == 2 * sizeof(void*), "Release is slot 2");
static_assert(offsetof(ScriptControlTable, putLanguage) == 8 * sizeof(void*), "put_Language is slot 8");
static_assert(offsetof(ScriptControlTable, putTimeout) == 14 * sizeof(void*), "put_Timeout is slot 14");
static_assert(offsetof(ScriptControlTable, reset) == 25 * sizeof(void*), "Reset is slot 25");
static_assert(offsetof(ScriptControlTable, addCode) == 26 * sizeof(void*), "AddCode is slot 26");

struct ScriptControl {
  const ScriptControlTable* table;
};

// The one control of the run.
struct ScriptEngine {
  ScriptControl* control = nullptr;
  bool comStarted = false;
};
ScriptEngine g_engine;

// An ANSI text as a BSTR (the platform's code page); null when it cannot be made.
BSTR ToBstr(const std::string& text) {
  if (text.empty()) return SysAllocStringLen(nullptr, 0);
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return nullptr;
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(length));
  if (!wide) return nullptr;
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, length);
  return wide;
}

HRESULT CallWithText(TextMethod method, const std::string& text) {
  BSTR value = ToBstr(text);
  if (!value) return E_OUTOFMEMORY;
  HRESULT result = method(g_engine.control, value);
  SysFreeString(value);
  return result;
}

}  // namespace

bool OsCreateScriptControl() {
  if (g_engine.control) return true;
  if (!g_engine.comStarted) g_engine.comStarted = SUCCEEDED(CoInitialize(nullptr));
  void* object = nullptr;
  if (CoCreateInstance(kScriptControlClass, nullptr, CLSCTX_INPROC_SERVER, kScriptControlInterface, &object) != S_OK ||
      !object) {
    return false;
  }
  g_engine.control = static_cast<ScriptControl*>(object);
  g_engine.control->table->reset(g_engine.control);
  CallWithText(g_engine.control->table->putLanguage, "VBScript");
  return true;
}

void OsReleaseScriptControl() {
  if (g_engine.control) g_engine.control->table->release(g_engine.control);
  if (g_engine.comStarted) CoUninitialize();
  g_engine = ScriptEngine();
}

bool OsScriptControlPresent() { return g_engine.control != nullptr; }

bool OsRunScriptCode(const std::string& language, int32_t timeoutMs, const std::string& code) {
  if (!g_engine.control) return false;
  const ScriptControlTable* table = g_engine.control->table;
  CallWithText(table->putLanguage, language);
  table->putTimeout(g_engine.control, timeoutMs);
  return SUCCEEDED(CallWithText(table->addCode, code));
}
