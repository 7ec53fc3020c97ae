#include "runtime/accessible.h"

#include <oleacc.h>

#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/form.h"
#include "runtime/gate.h"

namespace runtime {
namespace {

// What answering screen readers takes from oleacc.dll and oleaut32.dll, loaded when a screen
// reader first asks and kept from then on, as imports would be: most starts need neither.
struct ScreenReaderFunctions {
  decltype(&::AccessibleObjectFromWindow) accessibleObjectFromWindow = nullptr;
  decltype(&::CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
  decltype(&::LresultFromObject) lresultFromObject = nullptr;
  decltype(&::SysAllocStringLen) sysAllocStringLen = nullptr;
};

template <typename Function>
void Find(HMODULE module, const char* name, Function& function) {
  if (!module) return;
  // Through the generic function type, which any function pointer converts to and from.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Null where a library or one of its functions cannot be had: the platform then answers.
const ScreenReaderFunctions* LoadScreenReaderFunctions() {
  static const ScreenReaderFunctions loaded = [] {
    ScreenReaderFunctions functions;
    const HMODULE oleacc = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Find(oleacc, "AccessibleObjectFromWindow", functions.accessibleObjectFromWindow);
    Find(oleacc, "CreateStdAccessibleObject", functions.createStdAccessibleObject);
    Find(oleacc, "LresultFromObject", functions.lresultFromObject);
    const HMODULE oleaut = LoadLibraryExW(L"oleaut32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    Find(oleaut, "SysAllocStringLen", functions.sysAllocStringLen);
    return functions;
  }();
  const bool complete = loaded.accessibleObjectFromWindow && loaded.createStdAccessibleObject &&
                        loaded.lresultFromObject && loaded.sysAllocStringLen;
  return complete ? &loaded : nullptr;
}

// VariantInit's work, without oleaut32.
void MakeEmpty(VARIANT* variant) {
  variant->vt = VT_EMPTY;
}

// UI Automation's LiveSetting property, which Dynamic Annotation attaches to an MSAA element.
constexpr GUID kLiveSettingProperty{
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kLiveSettingPolite = 1;
// EVENT_OBJECT_LIVEREGIONCHANGED, which the headers offer from Windows 8 on; earlier systems
// pass it on to whoever listens, as any event.
constexpr DWORD kLiveRegionChanged = 0x8019;

// The default action of an element that acts as a push button, as Windows names a button's.
constexpr std::wstring_view kPressAction = L"Press";

template <typename Object, typename... Arguments>
ComPtr<Object> MakeComObject(Arguments&&... arguments) {
  ComPtr<Object> object;
  // From here the reference count owns it: the last Release destroys it.
  *object.Put() = std::make_unique<Object>(std::forward<Arguments>(arguments)...).release();
  return object;
}

// Nothing may escape into a COM caller's frames.
template <typename Body>
HRESULT Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// A text property: S_FALSE and no string where there is none, as MSAA asks.
HRESULT AnswerText(BSTR* out, std::wstring_view text) {
  if (text.empty()) return S_FALSE;
  // Only objects made after the functions were loaded answer, so they are there.
  *out =
      LoadScreenReaderFunctions()->sysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT AnswerNumber(VARIANT* out, LONG value) {
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

VARIANT SelfId() {
  VARIANT self;
  MakeEmpty(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// A child control's own accessible object: its client object, which is where the platform
// (and Wine, whose window objects of child controls are stubs) answers for it.
ComPtr<IAccessible> ControlObject(HWND control) {
  ComPtr<IAccessible> object;
  const ScreenReaderFunctions* oleacc = LoadScreenReaderFunctions();
  if (!oleacc ||
      FAILED(oleacc->accessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                                IID_IAccessible, object.PutVoid()))) {
    object.Reset();
  }
  return object;
}

HRESULT AnswerObject(IAccessible& object, IDispatch** out) {
  return object.QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out));
}

// IUnknown, IDispatch and IOleWindow for the objects below. IDispatch carries no type
// information: clients call IAccessible's methods directly, as with other MSAA servers.
class AccessibleObject : public IAccessible, public IOleWindow {
 public:
  AccessibleObject() = default;
  AccessibleObject(const AccessibleObject&) = delete;
  AccessibleObject& operator=(const AccessibleObject&) = delete;
  virtual ~AccessibleObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    if (!object) return E_POINTER;
    if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
      *object = static_cast<IAccessible*>(this);
    } else if (id == IID_IOleWindow) {
      *object = static_cast<IOleWindow*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      const std::unique_ptr<AccessibleObject> last(this);
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // Which window the object stands for (WindowFromAccessibleObject asks this).
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = Connected() ? OwnWindow() : nullptr;
    return *window ? S_OK : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 protected:
  virtual HWND OwnWindow() const = 0;
  virtual bool Connected() const = 0;

 private:
  ULONG references_ = 1;  // the creator's; every call comes on the window's own thread
};

}  // namespace

// ---- The client area of a form ----

class FormAccessible final : public AccessibleObject {
 public:
  FormAccessible(Form& form, ComPtr<IAccessible> standard)
      : form_(&form), window_(form.window_), standard_(std::move(standard)) {}

  void Disconnect() {
    form_ = nullptr;
    standard_.Reset();
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return form_ ? standard_->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    if (!form_) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<LONG>(Controls().size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    return Guarded([&]() -> HRESULT {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      const std::optional<std::size_t> index = IndexOf(child);
      if (!index) return E_INVALIDARG;
      HWND control = ControlWindow(*index);
      if (!control) return S_FALSE;  // a simple element: no object of its own
      const ComPtr<IAccessible> found = ControlObject(control);
      return found ? AnswerObject(*found.Get(), object) : E_FAIL;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.get_accName(id, name); },
        [&](std::size_t index) {
          const ControlDescription& control = Controls()[index];
          return AnswerText(name, control.kind == ControlKind::kLabel
                                      ? std::wstring_view(form_->captions_[index])
                                      : control.accessibleName);
        });
  }

  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.get_accValue(id, value); },
        [](std::size_t) { return DISP_E_MEMBERNOTFOUND; });
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (!description) return E_POINTER;
    *description = nullptr;
    return Route(
        child,
        [&](IAccessible& object, VARIANT id) { return object.get_accDescription(id, description); },
        [](std::size_t) { return S_FALSE; });
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    MakeEmpty(role);
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.get_accRole(id, role); },
        [&](std::size_t index) { return AnswerNumber(role, RoleOf(Controls()[index])); });
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (!state) return E_POINTER;
    MakeEmpty(state);
    const HRESULT result = Route(
        child, [&](IAccessible& object, VARIANT id) { return object.get_accState(id, state); },
        [&](std::size_t index) {
          const ControlDescription& control = Controls()[index];
          LONG flags = RoleOf(control) == ROLE_SYSTEM_PUSHBUTTON ? 0 : STATE_SYSTEM_READONLY;
          if (CanBeUsed(control) && !form_->MayUse(index)) flags |= STATE_SYSTEM_UNAVAILABLE;
          RECT shown;
          if (!ShownBox(index, shown)) flags |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
          if (!IsWindowVisible(window_)) flags |= STATE_SYSTEM_INVISIBLE;
          return AnswerNumber(state, flags);
        });
    if (result == S_OK && IsSelf(child) && state->vt == VT_I4 && form_->IsBusy()) {
      state->lVal |= STATE_SYSTEM_BUSY;
    }
    return result;
  }

  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    if (!help) return E_POINTER;
    *help = nullptr;
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.get_accHelp(id, help); },
        [](std::size_t) { return S_FALSE; });
  }

  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    if (!file || !topic) return E_POINTER;
    *file = nullptr;
    *topic = 0;
    return Route(
        child,
        [&](IAccessible& object, VARIANT id) { return object.get_accHelpTopic(file, id, topic); },
        [](std::size_t) { return S_FALSE; });
  }

  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    if (!shortcut) return E_POINTER;
    *shortcut = nullptr;
    return Route(
        child,
        [&](IAccessible& object, VARIANT id) {
          return object.get_accKeyboardShortcut(id, shortcut);
        },
        [&](std::size_t index) {
          const int key = Controls()[index].functionKey;
          return key == 0 ? S_FALSE : AnswerText(shortcut, L"F" + std::to_wstring(key));
        });
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    MakeEmpty(focus);
    return Guarded([&]() -> HRESULT {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      // A focused child control as the tree holds it (Wine's own object leaves it out).
      HWND focused = GetFocus();
      for (std::size_t i = 0; focused && i < Controls().size(); ++i) {
        if (ControlWindow(i) == focused) return AnswerChild(i, focus);
      }
      return standard_->get_accFocus(focus);
    });
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    MakeEmpty(selection);
    return form_ ? standard_->get_accSelection(selection) : CO_E_OBJNOTCONNECTED;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!action) return E_POINTER;
    *action = nullptr;
    return Route(
        child,
        [&](IAccessible& object, VARIANT id) { return object.get_accDefaultAction(id, action); },
        [&](std::size_t index) {
          return HasDefaultAction(Controls()[index]) ? AnswerText(action, kPressAction)
                                                     : DISP_E_MEMBERNOTFOUND;
        });
  }

  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return Route(
        child,
        [&](IAccessible& object, VARIANT id) {
          // The window's own focus, like a click on it, is the user's input.
          if (IsSelf(child) && !form_->application_.WhoMayAct().Allows(*form_, Action::kInput)) {
            return E_FAIL;
          }
          return object.accSelect(flags, id);
        },
        [](std::size_t) { return DISP_E_MEMBERNOTFOUND; });  // drawn elements take no focus
  }

  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return Route(
        child,
        [&](IAccessible& object, VARIANT id) {
          return object.accLocation(left, top, width, height, id);
        },
        [&](std::size_t index) {
          RECT box;
          if (!ShownBox(index, box)) box = form_->PixelRect(Controls()[index]);
          MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&box), 2);
          *left = box.left;
          *top = box.top;
          *width = box.right - box.left;
          *height = box.bottom - box.top;
          return S_OK;
        });
  }

  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    MakeEmpty(end);
    return Guarded([&]() -> HRESULT {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      const std::size_t count = Controls().size();
      if (IsSelf(start)) {
        if (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD) {
          return standard_->accNavigate(direction, start, end);  // among the window's siblings
        }
        if (count == 0) return S_FALSE;
        return AnswerChild(direction == NAVDIR_FIRSTCHILD ? 0 : count - 1, end);
      }
      const std::optional<std::size_t> index = IndexOf(start);
      if (!index) return E_INVALIDARG;
      switch (direction) {
        case NAVDIR_NEXT:
          return *index + 1 < count ? AnswerChild(*index + 1, end) : S_FALSE;
        case NAVDIR_PREVIOUS:
          return *index > 0 ? AnswerChild(*index - 1, end) : S_FALSE;
        case NAVDIR_FIRSTCHILD:
        case NAVDIR_LASTCHILD:
          return E_INVALIDARG;  // a child id has no children; a control's object has its own
        default:
          return DISP_E_MEMBERNOTFOUND;  // no spatial navigation among the elements
      }
    });
  }

  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
    if (!found) return E_POINTER;
    MakeEmpty(found);
    return Guarded([&]() -> HRESULT {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      POINT point{x, y};
      ScreenToClient(window_, &point);
      RECT client;
      GetClientRect(window_, &client);
      if (!PtInRect(&client, point)) return S_FALSE;
      // Child controls lie above everything the window draws, as they take the clicks there.
      for (std::size_t i = 0; i < Controls().size(); ++i) {
        HWND control = ControlWindow(i);
        RECT box;
        if (!control || !IsWindowVisible(control) || !GetWindowRect(control, &box)) continue;
        if (PtInRect(&box, POINT{x, y})) return AnswerChild(i, found);
      }
      if (const std::optional<std::size_t> index = form_->ElementAt(point)) {
        return AnswerChild(*index, found);
      }
      return AnswerNumber(found, CHILDID_SELF);
    });
  }

  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.accDoDefaultAction(id); },
        [&](std::size_t index) -> HRESULT {
          const ControlDescription& control = Controls()[index];
          if (!HasDefaultAction(control)) return DISP_E_MEMBERNOTFOUND;
          // Refused as reported: unavailable while the gate lets nothing in.
          if (!form_->MayUse(index)) return E_FAIL;
          // Clicked from the message loop, not inside this (perhaps cross-process) call.
          return PostMessageW(window_, kDefaultActionMessage, static_cast<WPARAM>(control.id), 0)
                     ? S_OK
                     : E_FAIL;
        });
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.put_accName(id, name); },
        [](std::size_t) { return DISP_E_MEMBERNOTFOUND; });
  }

  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return Route(
        child, [&](IAccessible& object, VARIANT id) { return object.put_accValue(id, value); },
        [](std::size_t) { return DISP_E_MEMBERNOTFOUND; });
  }

  static LONG RoleOf(const ControlDescription& control) {
    if (control.accessibleRole == AccessibleRole::kPushButton) return ROLE_SYSTEM_PUSHBUTTON;
    return control.kind == ControlKind::kLabel ? ROLE_SYSTEM_STATICTEXT : ROLE_SYSTEM_GRAPHIC;
  }
  static bool HasDefaultAction(const ControlDescription& control) {
    return control.accessibleRole == AccessibleRole::kPushButton;
  }

 protected:
  HWND OwnWindow() const override { return window_; }
  bool Connected() const override { return form_ != nullptr; }

 private:
  std::span<const ControlDescription> Controls() const { return form_->description_.controls; }

  std::optional<std::size_t> IndexOf(const VARIANT& child) const {
    if (child.vt != VT_I4 || child.lVal < 1 || child.lVal > static_cast<LONG>(Controls().size())) {
      return std::nullopt;
    }
    return static_cast<std::size_t>(child.lVal - 1);
  }

  HWND ControlWindow(std::size_t index) const {
    return index < form_->controls_.size() ? form_->controls_[index] : nullptr;
  }

  // The part of an element's box that the client area shows; false when none of it shows.
  bool ShownBox(std::size_t index, RECT& shown) const {
    RECT client;
    GetClientRect(window_, &client);
    const RECT box = form_->PixelRect(Controls()[index]);
    return IntersectRect(&shown, &box, &client) != FALSE;
  }

  // A child as MSAA hands it out: a child control's own object, or a drawn element's id.
  HRESULT AnswerChild(std::size_t index, VARIANT* out) const {
    if (HWND control = ControlWindow(index)) {
      const ComPtr<IAccessible> object = ControlObject(control);
      if (!object) return E_FAIL;
      IDispatch* dispatch = nullptr;
      const HRESULT result = AnswerObject(*object.Get(), &dispatch);
      if (FAILED(result)) return result;
      out->vt = VT_DISPATCH;
      out->pdispVal = dispatch;
      return S_OK;
    }
    return AnswerNumber(out, ChildIdOf(index));
  }

  // Sends a call for the window itself to the platform's object of this window, one for a
  // child control to that control's own object, and one for a drawn element to `onElement`.
  template <typename OnObject, typename OnElement>
  HRESULT Route(const VARIANT& child, OnObject onObject, OnElement onElement) const {
    return Guarded([&]() -> HRESULT {
      if (!form_) return CO_E_OBJNOTCONNECTED;
      if (IsSelf(child)) return onObject(*standard_.Get(), SelfId());
      const std::optional<std::size_t> index = IndexOf(child);
      if (!index) return E_INVALIDARG;
      if (HWND control = ControlWindow(*index)) {
        const ComPtr<IAccessible> object = ControlObject(control);
        return object ? onObject(*object.Get(), SelfId()) : E_FAIL;
      }
      return onElement(*index);
    });
  }

  Form* form_;  // cleared when the window goes
  HWND window_;
  ComPtr<IAccessible> standard_;
};

namespace {

// ---- A child control ----

// The control's standard object with the description's name, if it gives one, and with
// whatever changes the control (its action, a new value, the focus) held back while the gate
// lets nothing in; everything else as it was.
class ControlAccessible final : public AccessibleObject {
 public:
  ControlAccessible(HWND control, std::wstring_view name, ComPtr<IAccessible> standard)
      : control_(control), name_(name), standard_(std::move(standard)) {}

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    *name = nullptr;
    if (!Connected()) return CO_E_OBJNOTCONNECTED;
    return IsSelf(child) && !name_.empty() ? Guarded([&] { return AnswerText(name, name_); })
                                           : standard_->get_accName(child, name);
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return Forward(parent, [&](IAccessible& o) { return o.get_accParent(parent); });
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return Forward(count, [&](IAccessible& o) { return o.get_accChildCount(count); });
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return Forward(object, [&](IAccessible& o) { return o.get_accChild(child, object); });
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Forward(value, [&](IAccessible& o) { return o.get_accValue(child, value); });
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return Forward(description,
                   [&](IAccessible& o) { return o.get_accDescription(child, description); });
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return Forward(role, [&](IAccessible& o) { return o.get_accRole(child, role); });
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result =
        Forward(state, [&](IAccessible& o) { return o.get_accState(child, state); });
    if (result == S_OK && state->vt == VT_I4 && IsSelf(child) && !MayUse()) {
      state->lVal |= STATE_SYSTEM_UNAVAILABLE;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return Forward(help, [&](IAccessible& o) { return o.get_accHelp(child, help); });
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    if (!file || !topic) return E_POINTER;
    *topic = 0;
    return Forward(file, [&](IAccessible& o) { return o.get_accHelpTopic(file, child, topic); });
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return Forward(shortcut,
                   [&](IAccessible& o) { return o.get_accKeyboardShortcut(child, shortcut); });
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return Forward(focus, [&](IAccessible& o) { return o.get_accFocus(focus); });
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return Forward(selection, [&](IAccessible& o) { return o.get_accSelection(selection); });
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Forward(action, [&](IAccessible& o) { return o.get_accDefaultAction(child, action); });
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    if (!Connected()) return CO_E_OBJNOTCONNECTED;
    if (!MayUse()) return E_FAIL;  // the focus stays where it is, as against a click
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    return Connected() ? standard_->accLocation(left, top, width, height, child)
                       : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return Forward(end, [&](IAccessible& o) { return o.accNavigate(direction, start, end); });
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* found) override {
    return Forward(found, [&](IAccessible& o) { return o.accHitTest(x, y, found); });
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!Connected()) return CO_E_OBJNOTCONNECTED;
    if (!MayUse()) return E_FAIL;  // refused as reported: unavailable
    return standard_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return Connected() ? standard_->put_accName(child, name) : CO_E_OBJNOTCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    if (!Connected()) return CO_E_OBJNOTCONNECTED;
    if (!MayUse()) return E_FAIL;  // a name box keeps its text, as against typing
    return standard_->put_accValue(child, value);
  }

 protected:
  HWND OwnWindow() const override { return control_; }
  // The control is gone once its handle is: the object then answers nothing more.
  bool Connected() const override { return IsWindow(control_) != FALSE; }
  // Asked each time, through the control's window: this object may outlive the window.
  bool MayUse() const {
    const Form* form = Form::Of(GetParent(control_));
    const std::optional<std::size_t> index = form ? form->IndexOfControl(control_) : std::nullopt;
    return index && form->MayUse(*index);
  }

 private:
  static void Clear(IDispatch** out) { *out = nullptr; }
  static void Clear(BSTR* out) { *out = nullptr; }
  static void Clear(LONG* out) { *out = 0; }
  static void Clear(VARIANT* out) { MakeEmpty(out); }

  template <typename Out, typename Call>
  HRESULT Forward(Out* out, Call call) const {
    if (!out) return E_POINTER;
    Clear(out);
    return Connected() ? call(*standard_.Get()) : CO_E_OBJNOTCONNECTED;
  }

  HWND control_;
  std::wstring name_;
  ComPtr<IAccessible> standard_;
};

}  // namespace

// ---- ClientAccessibility ----

ClientAccessibility::ClientAccessibility() = default;
ClientAccessibility::~ClientAccessibility() {
  Disconnect();
}

LRESULT ClientAccessibility::Answer(Form& form, WPARAM wParam) {
  const ScreenReaderFunctions* oleacc = LoadScreenReaderFunctions();
  if (!oleacc) return 0;
  if (!object_) {
    ComPtr<IAccessible> standard;
    if (FAILED(oleacc->createStdAccessibleObject(form.window_, OBJID_CLIENT, IID_IAccessible,
                                                 standard.PutVoid()))) {
      return 0;
    }
    try {
      object_ = MakeComObject<FormAccessible>(form, std::move(standard));
    } catch (const std::bad_alloc&) {
      return 0;
    }
  }
  return oleacc->lresultFromObject(IID_IAccessible, wParam,
                                   static_cast<IAccessible*>(object_.Get()));
}

void ClientAccessibility::Disconnect() {
  if (object_) object_->Disconnect();
  object_.Reset();
}

// ---- Names, announcements, live regions ----

LRESULT AnswerForControl(HWND control, const ControlDescription& description, WPARAM wParam) {
  const ScreenReaderFunctions* oleacc = LoadScreenReaderFunctions();
  if (!oleacc) return 0;
  try {
    ComPtr<IAccessible> standard;
    if (FAILED(oleacc->createStdAccessibleObject(control, OBJID_CLIENT, IID_IAccessible,
                                                 standard.PutVoid()))) {
      return 0;
    }
    const ComPtr<ControlAccessible> object =
        MakeComObject<ControlAccessible>(control, description.accessibleName, std::move(standard));
    return oleacc->lresultFromObject(IID_IAccessible, wParam,
                                     static_cast<IAccessible*>(object.Get()));
  } catch (const std::exception&) {
    return 0;  // the platform answers as it would have; the gate still holds the control
  }
}

void AnnounceCaptionChange(HWND window, std::size_t index, const ControlDescription& control) {
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, ChildIdOf(index));
  if (control.liveRegion != LiveRegion::kOff) {
    NotifyWinEvent(kLiveRegionChanged, window, OBJID_CLIENT, ChildIdOf(index));
  }
}

LiveRegionAnnotations::LiveRegionAnnotations(HWND window,
                                             std::span<const ControlDescription> controls)
    : window_(window) {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].liveRegion == LiveRegion::kOff) continue;
    if (!services_ && FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_SERVER,
                                              IID_IAccPropServices, services_.PutVoid()))) {
      services_.Reset();
      return;
    }
    VARIANT polite;
    MakeEmpty(&polite);
    polite.vt = VT_I4;
    polite.lVal = kLiveSettingPolite;
    if (SUCCEEDED(services_->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT),
                                         static_cast<DWORD>(ChildIdOf(i)), kLiveSettingProperty,
                                         polite))) {
      annotated_.push_back(ChildIdOf(i));
    }
  }
}

LiveRegionAnnotations::~LiveRegionAnnotations() {
  for (LONG child : annotated_) {
    services_->ClearHwndProps(window_, static_cast<DWORD>(OBJID_CLIENT), static_cast<DWORD>(child),
                              &kLiveSettingProperty, 1);
  }
}

}  // namespace runtime
