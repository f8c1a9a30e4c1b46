// A stand-in for Excel's automation server, so that the launchers' Excel back end runs
// for real under Wine (scripts/excel-stand-in.sh). It is an out-of-process server (a
// LocalServer32 program) that registers itself as "Excel.Application" and serves the
// part of Excel's object model the launchers use, late bound through IDispatch:
//   Application  Visible, UserControl (get, put), Workbooks (get), Run(Macro)
//   Workbooks    Open(Filename, UpdateLinks, ReadOnly, ...) with named arguments
//   Workbook     Sheets, Worksheets (get), Close(SaveChanges, Filename, RouteWorkbook)
//   Sheets       Item(Index) and its default member, Count
//   Worksheet    Name
// Only the two cost workbook paths open. "Main" prices "outexcel.dat" into "ProIn.dat"
// of the working directory with the fake cost of tests/wine/fake_cost.h (named by
// DESIGNOPT_FAKE_COST, "convex" when unset): under Wine the server inherits the
// launcher's working directory and environment.
//
// Every event goes as one line to the record file (EXCEL_STAND_IN_RECORD, default
// "excel-stand-in.txt" in the working directory), starting with the server's process
// id, so that a test can see the calls of each server process:
//   start | refuse <what> | create Application | lookup <object> <names>
//   call <object> <member> <get|put|method> lcid=<n> (<name>=<type> <value>, ...)
//   main ran | release <object> | end objects=<n> workbook=<state> UserControl=<value>
//   idle limit: ending with objects=<n>
//
// Like Excel, each server process serves one creation (the class is withdrawn once a
// client has asked for an instance), ends once every object it made is released,
// and a server whose creation was refused stays behind. A server also ends when no
// call has arrived for EXCEL_STAND_IN_IDLE_SECONDS (default 20): Wine keeps the
// references of a client that was killed, and such a server would otherwise run for
// ever.
//
// A fault script in EXCEL_STAND_IN_FAULTS, items separated by ';':
//   refuse-calls=N      the first N automation calls are refused (SERVERCALL_REJECTED)
//   refuse-invokes=N    the first N calls of a member are refused (not the name lookups)
//   refuse-seconds=T    automation calls are refused for T seconds from the first one
//   refuse-creations=N  the first N requests for an instance are refused
//   open-fails=TEXT     Workbooks.Open raises an exception with the description TEXT
//   no-sheet            the workbook has no sheet "ProData"
//   main-fails=TEXT     "Main" raises an exception with the description TEXT, unpriced
//   main-rejected       "Main" prices, then raises an exception whose code is
//                       RPC_E_CALL_REJECTED (an error of a call the macro made)
//   hang=MEMBER         the call of MEMBER never returns
//
// Usage: ExcelStandIn.exe /regserver   registers the server in the Wine prefix
//        ExcelStandIn.exe -Embedding   as COM starts it
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "../wine/fake_cost.h"

namespace {

// The stand-in's own class; the launchers find it through the ProgID.
const CLSID kStandInClass = {0x5c0e7a31, 0x2b9d, 0x4e61, {0x9a, 0x3f, 0x1d, 0x7e, 0x44, 0x0b, 0x6c, 0x21}};
const wchar_t* kClassKey = L"CLSID\\{5C0E7A31-2B9D-4E61-9A3F-1D7E440B6C21}";
const wchar_t* kClassText = L"{5C0E7A31-2B9D-4E61-9A3F-1D7E440B6C21}";

// Excel's error for a failed method of its object model, which carries the description.
const SCODE kExcelMethodError = static_cast<SCODE>(0x800A03ECu);

// ---------------------------------------------------------------------------------
// The record file.

std::string recordPath() {
  const char* path = std::getenv("EXCEL_STAND_IN_RECORD");
  return path != nullptr && path[0] != '\0' ? path : "excel-stand-in.txt";
}

void record(const char* format, ...) {
  char line[2048];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  std::FILE* out = std::fopen(recordPath().c_str(), "ab");  // LF, as the tests read it
  if (out == nullptr) return;
  std::fprintf(out, "%lu %s\n", static_cast<unsigned long>(GetCurrentProcessId()), line);
  std::fclose(out);
}

std::string narrow(const wchar_t* text) {
  if (text == nullptr) return std::string();
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string result(static_cast<std::size_t>(length - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], length, nullptr, nullptr);
  return result;
}

std::wstring wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring result(static_cast<std::size_t>(length - 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], length);
  return result;
}

// A variant as "<type> <value>".
std::string describe(const VARIANT& value) {
  char text[64];
  switch (value.vt) {
    case VT_EMPTY: return "VT_EMPTY";
    case VT_BOOL: return std::string("VT_BOOL ") + (value.boolVal ? "True" : "False");
    case VT_BSTR: return "VT_BSTR \"" + narrow(value.bstrVal) + "\"";
    case VT_I4: std::snprintf(text, sizeof text, "VT_I4 %ld", static_cast<long>(value.lVal)); return text;
    case VT_I2: std::snprintf(text, sizeof text, "VT_I2 %d", value.iVal); return text;
    case VT_ERROR:
      std::snprintf(text, sizeof text, "VT_ERROR %08lx", static_cast<unsigned long>(value.scode));
      return text;
    default:
      std::snprintf(text, sizeof text, "VT_%u", static_cast<unsigned>(value.vt));
      return text;
  }
}

// ---------------------------------------------------------------------------------
// The fault script and the server's state.

struct Faults {
  int refuseCalls = 0;
  int refuseInvokes = 0;
  double refuseSeconds = 0.0;
  int refuseCreations = 0;
  bool openFails = false;
  std::string openFailure;
  bool noSheet = false;
  bool mainFails = false;
  std::string mainFailure;
  bool mainRejected = false;
  std::string hangMember;
};

Faults readFaults() {
  Faults faults;
  const char* script = std::getenv("EXCEL_STAND_IN_FAULTS");
  std::string rest = script != nullptr ? script : "";
  while (!rest.empty()) {
    const std::size_t end = rest.find(';');
    const std::string item = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    const std::size_t equals = item.find('=');
    const std::string key = item.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : item.substr(equals + 1);
    if (key == "refuse-calls") faults.refuseCalls = std::atoi(value.c_str());
    else if (key == "refuse-invokes") faults.refuseInvokes = std::atoi(value.c_str());
    else if (key == "refuse-seconds") faults.refuseSeconds = std::atof(value.c_str());
    else if (key == "refuse-creations") faults.refuseCreations = std::atoi(value.c_str());
    else if (key == "open-fails") faults.openFails = true, faults.openFailure = value;
    else if (key == "no-sheet") faults.noSheet = true;
    else if (key == "main-fails") faults.mainFails = true, faults.mainFailure = value;
    else if (key == "main-rejected") faults.mainRejected = true;
    else if (key == "hang") faults.hangMember = value;
    else if (!key.empty()) record("unknown fault '%s'", item.c_str());
  }
  return faults;
}

Faults gFaults;
DWORD gMainThread = 0;
DWORD gClassCookie = 0;
bool gClassRegistered = false;
long gLiveObjects = 0;
bool gApplicationMade = false;
std::atomic<ULONGLONG> gLastActivity{0};
int gAutomationCalls = 0;      // calls that reached the refusal check
int gInvokes = 0;              // the calls of members among them
ULONGLONG gFirstCallTick = 0;  // of the first of them
int gCreationRequests = 0;

// What Excel would show: the application's settings and the one workbook.
bool gVisible = false;
bool gUserControl = false;
std::string gWorkbookPath;
bool gWorkbookOpen = false;

void touch() { gLastActivity = GetTickCount64(); }

const char* workbookState() {
  if (gWorkbookPath.empty()) return "never-opened";
  return gWorkbookOpen ? "open" : "closed";
}

// Ends the server once every object it made has been released.
void objectGone() {
  if (--gLiveObjects == 0 && gApplicationMade) PostThreadMessageW(gMainThread, WM_QUIT, 0, 0);
}

// A refusal of a call by the fault script: like Excel, busy, before it runs.
bool refuseThisCall(bool invoke) {
  const ULONGLONG now = GetTickCount64();
  if (gAutomationCalls++ == 0) gFirstCallTick = now;
  if (gAutomationCalls <= gFaults.refuseCalls) return true;
  if (invoke && ++gInvokes <= gFaults.refuseInvokes) return true;
  return gFaults.refuseSeconds > 0 &&
         static_cast<double>(now - gFirstCallTick) < gFaults.refuseSeconds * 1000.0;
}

void hangIfScripted(const char* member) {
  if (gFaults.hangMember != member) return;
  record("hang %s", member);
  for (;;) Sleep(1000);  // until the idle limit ends the server
}

// ---------------------------------------------------------------------------------
// The automation objects.

// A member of an object: its name, identifier and parameter names in order.
struct Member {
  const wchar_t* name;
  DISPID id;
  std::vector<const wchar_t*> parameters;
};

// One call's arguments by parameter position (named ones placed by their identifier,
// which is the parameter's position); missing ones are VT_EMPTY or VT_ERROR.
struct Arguments {
  std::vector<VARIANT> byPosition;
  const VARIANT* at(std::size_t position) const {
    if (position >= byPosition.size()) return nullptr;
    const VARIANT& value = byPosition[position];
    if (value.vt == VT_EMPTY) return nullptr;
    if (value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND) return nullptr;
    return &value;
  }
};

HRESULT raise(EXCEPINFO* exception, SCODE code, const std::string& description) {
  if (exception != nullptr) {
    std::memset(exception, 0, sizeof *exception);
    exception->bstrSource = SysAllocString(L"Microsoft Excel");
    exception->bstrDescription = SysAllocString(wide(description).c_str());
    exception->scode = code;
  }
  return DISP_E_EXCEPTION;
}

HRESULT returnObject(IDispatch* object, VARIANT* result) {
  if (result == nullptr) {
    object->Release();
    return S_OK;
  }
  VariantInit(result);
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
  return S_OK;
}

class Dispatch : public IDispatch {
 public:
  Dispatch(const char* name, std::vector<Member> members) : name_(name), members_(std::move(members)) {
    ++gLiveObjects;
  }
  virtual ~Dispatch() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      record("release %s", name_);
      delete this;
      objectGone();
    }
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    touch();
    std::string text;
    for (UINT i = 0; i < count; ++i) text += (i ? " " : "") + narrow(names[i]);
    record("lookup %s %s", name_, text.c_str());
    const Member* member = find(names[0]);
    if (member == nullptr) {
      for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
      return DISP_E_UNKNOWNNAME;
    }
    ids[0] = member->id;
    HRESULT status = S_OK;
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (std::size_t p = 0; p < member->parameters.size(); ++p) {
        if (_wcsicmp(member->parameters[p], names[i]) == 0) ids[i] = static_cast<DISPID>(p);
      }
      if (ids[i] == DISPID_UNKNOWN) status = DISP_E_UNKNOWNNAME;
    }
    return status;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT*) override {
    touch();
    const Member* member = find(id);
    const std::string memberName = member != nullptr ? narrow(member->name) : "?";
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

    // The arguments by position, named ones where their identifier puts them.
    Arguments arguments;
    std::string shown;
    const UINT total = parameters != nullptr ? parameters->cArgs : 0;
    const UINT named = parameters != nullptr ? parameters->cNamedArgs : 0;
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    // rgvarg holds the named arguments first, then the positional ones last to first;
    // a named argument's identifier is its parameter's position.
    for (UINT i = 0; i < total; ++i) {
      const bool positional = i < total - named;
      const VARIANT& value = parameters->rgvarg[positional ? total - 1 - i : i - (total - named)];
      std::size_t position = i;
      std::string label;
      if (!positional) {
        const DISPID namedId = parameters->rgdispidNamedArgs[i - (total - named)];
        position = namedId == DISPID_PROPERTYPUT ? 0 : static_cast<std::size_t>(namedId);
        label = namedId == DISPID_PROPERTYPUT ? "(value)" : parameterName(*member, position) + ":";
      } else {
        label = put ? "(value)" : parameterName(*member, position);
      }
      if (!shown.empty()) shown += ", ";
      shown += label + "=" + describe(value);
      if (arguments.byPosition.size() <= position) arguments.byPosition.resize(position + 1);
      arguments.byPosition[position] = value;
    }
    record("call %s %s %s lcid=%lu (%s)", name_, memberName.c_str(), flagText(flags),
           static_cast<unsigned long>(locale), shown.c_str());
    hangIfScripted(memberName.c_str());
    if (result != nullptr) VariantInit(result);
    const HRESULT status = call(id, flags, arguments, result, exception);
    touch();
    return status;
  }

 protected:
  // One member's work; the arguments are those of the caller, not copies.
  virtual HRESULT call(DISPID id, WORD flags, const Arguments& arguments, VARIANT* result,
                       EXCEPINFO* exception) = 0;

 private:
  static const char* flagText(WORD flags) {
    if (flags & DISPATCH_PROPERTYPUT) return "put";
    if ((flags & DISPATCH_METHOD) && (flags & DISPATCH_PROPERTYGET)) return "method|get";
    if (flags & DISPATCH_METHOD) return "method";
    if (flags & DISPATCH_PROPERTYGET) return "get";
    return "?";
  }
  static std::string parameterName(const Member& member, std::size_t position) {
    return position < member.parameters.size() ? narrow(member.parameters[position]) : "?";
  }
  const Member* find(const wchar_t* name) const {
    for (const Member& member : members_) {
      if (_wcsicmp(member.name, name) == 0) return &member;
    }
    return nullptr;
  }
  const Member* find(DISPID id) const {
    for (const Member& member : members_) {
      if (member.id == id) return &member;
    }
    return nullptr;
  }

  const char* name_;
  std::vector<Member> members_;
  ULONG references_ = 1;
};

bool truthOf(const VARIANT* value, bool& truth) {
  if (value == nullptr) return false;
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, VT_BOOL))) return false;
  truth = converted.boolVal != VARIANT_FALSE;
  return true;
}

bool textOf(const VARIANT* value, std::string& text) {
  if (value == nullptr || value->vt != VT_BSTR) return false;
  text = narrow(value->bstrVal);
  return true;
}

HRESULT returnCount(long count, VARIANT* result) {
  if (result != nullptr) {
    result->vt = VT_I4;
    result->lVal = count;
  }
  return S_OK;
}

HRESULT returnText(const std::wstring& text, VARIANT* result) {
  if (result != nullptr) {
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(text.c_str());
  }
  return S_OK;
}

HRESULT returnBoolean(bool truth, VARIANT* result) {
  if (result != nullptr) {
    result->vt = VT_BOOL;
    result->boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
  }
  return S_OK;
}

class Worksheet : public Dispatch {
 public:
  Worksheet() : Dispatch("Worksheet", {{L"Name", 1, {}}}) {}

 protected:
  HRESULT call(DISPID, WORD, const Arguments&, VARIANT* result, EXCEPINFO*) override {
    return returnText(L"ProData", result);
  }
};

class Sheets : public Dispatch {
 public:
  explicit Sheets(const char* name)
      : Dispatch(name, {{L"Item", DISPID_VALUE, {L"Index"}}, {L"Count", 1, {}}}) {}

 protected:
  HRESULT call(DISPID id, WORD, const Arguments& arguments, VARIANT* result, EXCEPINFO*) override {
    const bool hasSheet = !gFaults.noSheet;
    if (id == 1) return returnCount(hasSheet ? 1 : 0, result);
    std::string name;
    const VARIANT* index = arguments.at(0);
    bool found = false;
    if (textOf(index, name)) found = hasSheet && _stricmp(name.c_str(), "ProData") == 0;
    else if (index != nullptr && index->vt == VT_I4) found = hasSheet && index->lVal == 1;
    if (!found) return DISP_E_BADINDEX;  // what Excel answers for a sheet it lacks
    return returnObject(new Worksheet, result);
  }
};

class Workbook : public Dispatch {
 public:
  Workbook()
      : Dispatch("Workbook", {{L"Sheets", 1, {}},
                              {L"Worksheets", 2, {}},
                              {L"Close", 3, {L"SaveChanges", L"Filename", L"RouteWorkbook"}},
                              {L"Name", 4, {}}}) {}

 protected:
  HRESULT call(DISPID id, WORD, const Arguments& arguments, VARIANT* result,
               EXCEPINFO* exception) override {
    if (id == 1) return returnObject(new Sheets("Sheets"), result);
    if (id == 2) return returnObject(new Sheets("Worksheets"), result);
    if (id == 4) return returnText(wide(gWorkbookPath), result);
    if (!gWorkbookOpen) return raise(exception, kExcelMethodError, "The workbook is closed.");
    bool save = false;
    const bool saveGiven = truthOf(arguments.at(0), save);
    record("closed workbook %s", !saveGiven ? "save-not-said" : save ? "saved" : "unsaved");
    gWorkbookOpen = false;
    return S_OK;
  }
};

class Workbooks : public Dispatch {
 public:
  Workbooks()
      : Dispatch("Workbooks",
                 {{L"Open", 1,
                   {L"Filename", L"UpdateLinks", L"ReadOnly", L"Format", L"Password",
                    L"WriteResPassword", L"IgnoreReadOnlyRecommended", L"Origin", L"Delimiter",
                    L"Editable", L"Notify", L"Converter", L"AddToMru", L"Local", L"CorruptLoad"}},
                  {L"Count", 2, {}}}) {}

 protected:
  HRESULT call(DISPID id, WORD, const Arguments& arguments, VARIANT* result,
               EXCEPINFO* exception) override {
    if (id == 2) return returnCount(gWorkbookOpen ? 1 : 0, result);
    std::string path;
    if (!textOf(arguments.at(0), path)) return DISP_E_PARAMNOTFOUND;
    if (gFaults.openFails) return raise(exception, kExcelMethodError, gFaults.openFailure);
    if (path != "C:\\zrk\\quva source\\QUVA2002.xls" &&
        path != "C:\\zrk\\quva source\\QUVA2002_Old.xls") {
      return raise(exception, kExcelMethodError,
                   "'" + path + "' could not be found. Check the spelling of the file name.");
    }
    bool readOnly = false;
    truthOf(arguments.at(2), readOnly);
    gWorkbookPath = path;
    gWorkbookOpen = true;
    record("opened workbook %s", readOnly ? "read-only" : "read-write");
    return returnObject(new Workbook, result);
  }
};

class Application : public Dispatch {
 public:
  Application()
      : Dispatch("Application", {{L"Visible", 1, {}},
                                 {L"UserControl", 2, {}},
                                 {L"Workbooks", 3, {}},
                                 {L"Run", 4, {L"Macro"}},
                                 {L"Name", 5, {}}}) {}

 protected:
  HRESULT call(DISPID id, WORD flags, const Arguments& arguments, VARIANT* result,
               EXCEPINFO* exception) override {
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    switch (id) {
      case 1:
        if (put) return truthOf(arguments.at(0), gVisible) ? S_OK : DISP_E_TYPEMISMATCH;
        return returnBoolean(gVisible, result);
      case 2:
        if (put) return truthOf(arguments.at(0), gUserControl) ? S_OK : DISP_E_TYPEMISMATCH;
        return returnBoolean(gUserControl, result);
      case 3:
        return returnObject(new Workbooks, result);
      case 4:
        return run(arguments, exception);
      default:
        return returnText(L"Microsoft Excel", result);
    }
  }

 private:
  HRESULT run(const Arguments& arguments, EXCEPINFO* exception) {
    std::string macro;
    if (!textOf(arguments.at(0), macro)) return DISP_E_PARAMNOTFOUND;
    if (macro != "Main" || !gWorkbookOpen) {
      return raise(exception, kExcelMethodError,
                   "Cannot run the macro '" + macro + "'. The macro may not be available in this "
                   "workbook or all macros may be disabled.");
    }
    if (gFaults.mainFails) {
      record("main ran, failing");
      return raise(exception, kExcelMethodError, gFaults.mainFailure);
    }
    const char* formula = std::getenv("DESIGNOPT_FAKE_COST");
    double cost = 0.0;
    if (!designopt_wine::writeFakeCost(formula != nullptr ? formula : "convex", &cost)) {
      record("main ran, no outexcel.dat priced");
      return raise(exception, kExcelMethodError, "Main could not price outexcel.dat.");
    }
    record("main ran, priced %.6f", cost);
    if (gFaults.mainRejected) {
      return raise(exception, RPC_E_CALL_REJECTED, "A call the macro made was rejected.");
    }
    return S_OK;
  }
};

// ---------------------------------------------------------------------------------
// The class object and the server's life.

class ApplicationFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as the server
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    touch();
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Application* application = new Application;
    gApplicationMade = true;
    record("create Application");
    const HRESULT status = application->QueryInterface(iid, object);
    application->Release();
    return status;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// Excel's way of being busy: the apartment's message filter refuses an incoming call
// before it runs, and the caller gets RPC_E_CALL_REJECTED.
class BusyFilter : public IMessageFilter {
 public:
  // The methods' places in their interfaces' tables.
  static constexpr WORD kCreateInstanceMethod = 3;
  static constexpr WORD kGetIDsOfNamesMethod = 5;
  static constexpr WORD kInvokeMethod = 6;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMessageFilter)) {
      *object = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  // Refuses the creations and automation calls that the fault script refuses; the
  // system's own calls (reference counting, activation) always pass.
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override {
    if (info == nullptr) return SERVERCALL_ISHANDLED;
    touch();
    if (IsEqualIID(info->iid, IID_IClassFactory) && info->wMethod == kCreateInstanceMethod) {
      // One creation per server, as Excel: the next client starts another server.
      if (gClassRegistered) {
        CoRevokeClassObject(gClassCookie);
        gClassRegistered = false;
      }
      if (++gCreationRequests > gFaults.refuseCreations) return SERVERCALL_ISHANDLED;
      record("refuse creation %d", gCreationRequests);
      return SERVERCALL_REJECTED;
    }
    if (!IsEqualIID(info->iid, IID_IDispatch)) return SERVERCALL_ISHANDLED;
    if (info->wMethod != kGetIDsOfNamesMethod && info->wMethod != kInvokeMethod) {
      return SERVERCALL_ISHANDLED;
    }
    if (!refuseThisCall(info->wMethod == kInvokeMethod)) return SERVERCALL_ISHANDLED;
    record("refuse %s %d", info->wMethod == kInvokeMethod ? "invoke" : "lookup", gAutomationCalls);
    return SERVERCALL_REJECTED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return 0xFFFFFFFF; }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return PENDINGMSG_WAITDEFPROCESS;
  }
};

DWORD WINAPI idleWatch(void*) {
  const char* setting = std::getenv("EXCEL_STAND_IN_IDLE_SECONDS");
  const ULONGLONG limit = static_cast<ULONGLONG>(setting != nullptr ? std::atof(setting) * 1000.0 : 20000.0);
  for (;;) {
    Sleep(200);
    if (GetTickCount64() - gLastActivity.load() < limit) continue;
    record("idle limit: ending with objects=%ld workbook=%s UserControl=%s", gLiveObjects,
           workbookState(), gUserControl ? "True" : "False");
    ExitProcess(2);
  }
}

bool setKey(const std::wstring& key, const std::wstring& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG status =
      RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

int registerServer() {
  wchar_t path[MAX_PATH];
  if (GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) return 1;
  const std::wstring classKey = kClassKey;
  const bool ok = setKey(L"Excel.Application", L"Excel automation stand-in") &&
                  setKey(L"Excel.Application\\CLSID", kClassText) &&
                  setKey(classKey, L"Excel automation stand-in") &&
                  setKey(classKey + L"\\LocalServer32", std::wstring(L"\"") + path + L"\"") &&
                  setKey(classKey + L"\\ProgID", L"Excel.Application");
  return ok ? 0 : 1;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  if (std::strstr(commandLine, "regserver") != nullptr) return registerServer();

  gFaults = readFaults();
  gMainThread = GetCurrentThreadId();
  touch();
  record("start");
  if (FAILED(CoInitialize(nullptr))) return 1;
  // The thread's message queue exists before the class is offered.
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
  static BusyFilter filter;
  CoRegisterMessageFilter(&filter, nullptr);
  static ApplicationFactory factory;
  if (FAILED(CoRegisterClassObject(kStandInClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                   &gClassCookie))) {
    record("cannot offer the class");
    return 1;
  }
  gClassRegistered = true;
  CreateThread(nullptr, 0, idleWatch, nullptr, 0, nullptr);

  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (gClassRegistered) CoRevokeClassObject(gClassCookie);
  record("end objects=%ld workbook=%s UserControl=%s", gLiveObjects, workbookState(),
         gUserControl ? "True" : "False");
  CoUninitialize();
  return 0;
}
