#include "midi/ui/kanabun_manager.h"

#include <dlfcn.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QWindow>
#include <algorithm>

#include "midi/input_settings.h"

namespace melko {

namespace {

TmKanabunManager* gManager = nullptr;
int gToggleType = kLockCaps;
bool gUpperEnabled = false;
std::function<std::optional<bool>(int)> gLockReader;

std::function<std::optional<bool>(int)> LockReader() {
  if (gLockReader) return gLockReader;
  return ReadSystemLockState;
}

}  // namespace

// --- reading the lock key on X11 ---

// Xlib is opened by name rather than linked: Qt's X11 plugin has it loaded
// already whenever there is a display to ask, and without X11 there is
// nothing to read. Its types are spelled out here so that Xlib's macros stay
// out of Qt code.
std::optional<bool> ReadSystemLockState(int toggleType) {
#if QT_CONFIG(xcb)
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (!x11 || !x11->display()) return std::nullopt;
  using InternAtom = unsigned long (*)(void* display, const char* name, int onlyIfExists);
  using GetNamedIndicator = int (*)(void* display, unsigned long name, int* index, int* state, void* map, int* real);
  static void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
  static auto internAtom = lib ? reinterpret_cast<InternAtom>(dlsym(lib, "XInternAtom")) : nullptr;
  static auto getIndicator = lib ? reinterpret_cast<GetNamedIndicator>(dlsym(lib, "XkbGetNamedIndicator")) : nullptr;
  if (!internAtom || !getIndicator) return std::nullopt;
  static const char* const kNames[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};
  if (toggleType < 0 || toggleType > 2) return std::nullopt;
  void* display = x11->display();
  const unsigned long atom = internAtom(display, kNames[toggleType], 1);
  if (!atom) return std::nullopt;
  int index = 0, state = 0, real = 0;
  if (!getIndicator(display, atom, &index, &state, nullptr, &real)) return std::nullopt;
  return state != 0;
#else
  (void)toggleType;
  return std::nullopt;
#endif
}

// --- the manager ---

TmKanabunManager* TmKanabunManager::Instance() { return gManager; }

TmKanabunManager::TmKanabunManager() {
  keys_.SetToggleType(gToggleType);
  keys_.SetUpperEnabled(gUpperEnabled);
  keys_.ReadLockState = LockReader();
  if (qApp) qApp->installEventFilter(this);
  keys_.RefreshInputOn(nullptr);
}

TmKanabunManager::~TmKanabunManager() {
  if (qApp) qApp->removeEventFilter(this);
}

void TmKanabunManager::Register(TmKanabun* component, QWidget* window) {
  if (!component) return;
  if (!gManager || gManager->dying_) {
    if (gManager) gManager->dying_ = false;  // a newcomer keeps it alive
    else gManager = new TmKanabunManager;
  }
  gManager->components_.push_back(component);
  gManager->windows_.emplace_back(window ? window->window() : nullptr);
}

void TmKanabunManager::Unregister(TmKanabun* component) {
  TmKanabunManager* m = gManager;
  if (!m) return;
  auto it = std::find(m->components_.begin(), m->components_.end(), component);
  if (it == m->components_.end()) return;
  const auto i = it - m->components_.begin();
  m->components_.erase(it);
  m->windows_.erase(m->windows_.begin() + i);
  if (!m->components_.empty()) return;
  if (m->filterDepth_ > 0) {
    m->dying_ = true;  // deleted once the event being handled is done
    return;
  }
  gManager = nullptr;
  delete m;
}

void TmKanabunManager::SetToggleType(int type) {
  if (type < 0 || type > 2) return;
  gToggleType = type;
  if (!gManager || gManager->keys_.ToggleType() == type) return;
  gManager->ReleaseEverywhere();
  gManager->keys_.SetToggleType(type);
  gManager->keys_.RefreshInputOn(gManager->ActiveComponent());
}

int TmKanabunManager::ToggleType() { return gToggleType; }

void TmKanabunManager::SetUpperEnabled(bool on) {
  gUpperEnabled = on;
  if (!gManager) return;
  gManager->ReleaseEverywhere();
  gManager->keys_.SetUpperEnabled(on);
}

bool TmKanabunManager::UpperEnabled() { return gUpperEnabled; }

void TmKanabunManager::SetLockReader(std::function<std::optional<bool>(int)> reader) {
  gLockReader = std::move(reader);
  if (gManager) gManager->keys_.ReadLockState = LockReader();
}

TmKanabun* TmKanabunManager::ActiveComponent() const {
  if (QApplication::activePopupWidget()) return nullptr;
  QWidget* active = QApplication::activeWindow();
  if (!active) return nullptr;
  for (size_t i = 0; i < windows_.size(); ++i)
    if (windows_[i] == active) return components_[i];
  return nullptr;
}

void TmKanabunManager::ReleaseWindow(const QWidget* window) {
  if (!window) return;
  for (size_t i = 0; i < windows_.size(); ++i)
    if (windows_[i] == window) components_[i]->ReleaseAll();
}

void TmKanabunManager::ReleaseEverywhere() {
  // A handler may unregister a component; walk a copy.
  const std::vector<TmKanabun*> all = components_;
  for (TmKanabun* k : all)
    if (std::find(components_.begin(), components_.end(), k) != components_.end()) k->ReleaseAll();
}

KanaKeyEvent TmKanabunManager::FromQt(const QKeyEvent& e) {
  KanaKeyEvent k;
  k.Press = e.type() != QEvent::KeyRelease;
  // X11 and Wayland both give the XKB key code: the Linux key code + 8.
  const quint32 native = e.nativeScanCode();
  k.ScanCode = native > 8 ? PcScanCodeFromLinuxKey(static_cast<int>(native) - 8) : -1;
  switch (e.key()) {
    case Qt::Key_PageUp:
      k.Kind = KanaKey::kPageUp;
      break;
    case Qt::Key_PageDown:
      k.Kind = KanaKey::kPageDown;
      break;
    case Qt::Key_CapsLock:
      k.Kind = KanaKey::kCapsLock;
      break;
    case Qt::Key_NumLock:
      k.Kind = KanaKey::kNumLock;
      break;
    case Qt::Key_ScrollLock:
      k.Kind = KanaKey::kScrollLock;
      break;
    default:
      k.Kind = KanaKey::kOther;
  }
  const Qt::KeyboardModifiers m = e.modifiers();
  if (m & Qt::ShiftModifier) k.Modifiers |= kKanaShift;
  if (m & Qt::ControlModifier) k.Modifiers |= kKanaCtrl;
  if (m & Qt::AltModifier) k.Modifiers |= kKanaAlt;
  if (m & Qt::MetaModifier) k.Modifiers |= kKanaMeta;
  k.AutoRepeat = e.isAutoRepeat();
  return k;
}

bool TmKanabunManager::eventFilter(QObject* watched, QEvent* event) {
  ++filterDepth_;
  bool consumed = false;
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // A key that will be played must not fire a shortcut on its way; the
      // override is asked without acting, wherever Qt sends it.
      auto* key = static_cast<QKeyEvent*>(event);
      if (keys_.WouldConsume(FromQt(*key), ActiveComponent())) {
        key->accept();
        consumed = true;
      }
      break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      // A key event reaches the window first, then is forwarded to the focus
      // widget and perhaps its parents: act on the first delivery only.
      if (watched->isWindowType()) consumed = keys_.HandleKey(FromQt(*static_cast<QKeyEvent*>(event)), ActiveComponent());
      break;
    case QEvent::WindowActivate:
      // The lock may have been switched while another program had the keys.
      if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()) keys_.RefreshInputOn(ActiveComponent());
      break;
    case QEvent::WindowDeactivate:
      if (watched->isWidgetType()) ReleaseWindow(static_cast<QWidget*>(watched)->window());
      break;
    case QEvent::FocusOut:
      if (watched->isWidgetType()) ReleaseWindow(static_cast<QWidget*>(watched)->window());
      break;
    case QEvent::Show:
      if (qobject_cast<QMenu*>(watched)) ReleaseEverywhere();
      break;
    default:
      break;
  }
  --filterDepth_;
  if (filterDepth_ == 0 && dying_) {
    dying_ = false;
    if (gManager == this) gManager = nullptr;
    if (qApp) qApp->removeEventFilter(this);
    deleteLater();  // still on the stack of Qt's filter loop
  }
  return consumed;
}

}  // namespace melko
