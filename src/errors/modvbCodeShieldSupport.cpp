#include "errors/modvbCodeShieldSupport.h"

#include "core/modWP.h"
#include "wp/hooks.h"

#include <QMetaObject>
#include <QObject>
#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <link.h>
#include <memory>
#include <new>
#include <pthread.h>
#include <ucontext.h>
#include <unistd.h>
#include <vector>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace wp::modvbCodeShieldSupport {

QString vbcsComponentID = QStringLiteral("wp");
bool vbcsHasInitialised = false;
qint32 vbcsErrorNumber = 0;
QString vbcsErrorDescription;
qint32 vbcsErrorLine = 0;
QString vbcsErrorSource;

namespace {
thread_local int t_guardDepth = 0;
// Where a stack overflow returns to: set by the outermost guard.
thread_local sigjmp_buf* t_boundary = nullptr;
} // namespace

int guardDepth() {
    return t_guardDepth;
}
Guard::Depth::Depth() : outermost(t_guardDepth == 0) {
    ++t_guardDepth;
}
Guard::Depth::~Depth() {
    --t_guardDepth;
}

void Capture(const wp::Error& error) {
    vbcsErrorNumber = error.number;
    vbcsErrorDescription = error.description;
    vbcsErrorLine = error.line;
    vbcsErrorSource = error.source;
}

QString GlobalsText() {
    using dump::var;
    QString out = modWP::DumpGlobals();
    out += var(QStringLiteral("vbcsComponentID"), vbcsComponentID);
    out += var(QStringLiteral("vbcsHasInitialised"), vbcsHasInitialised);
    out += var(QStringLiteral("vbcsErrorNumber"), vbcsErrorNumber);
    out += var(QStringLiteral("vbcsErrorDescription"), vbcsErrorDescription);
    out += var(QStringLiteral("vbcsErrorLine"), vbcsErrorLine);
    out += var(QStringLiteral("vbcsErrorSource"), vbcsErrorSource);
    return out;
}

QString VariablesDocument(const QString& locals, const QString& moduleVars, const QString& globals,
                          const QString& params) {
    const QString& br = dump::CrLf;
    return QStringLiteral("<Variables>") + br + QStringLiteral("<LocalVariables>") + br + locals +
           QStringLiteral("</LocalVariables>") + br + QStringLiteral("<ModuleVariables>") + br +
           moduleVars + QStringLiteral("</ModuleVariables>") + br +
           QStringLiteral("<GlobalVariables>") + br + globals +
           QStringLiteral("</GlobalVariables>") + br + QStringLiteral("</Variables>") + br +
           QStringLiteral("<Parameters>") + br + params + QStringLiteral("</Parameters>");
}

QString MessageText(qint32 errorNumber, const QString& moduleName, const QString& procName,
                    const QString& description, qint32 errorLine) {
    const QString& br = dump::CrLf;
    return QStringLiteral("wp has encountered a problem. We are sorry for the inconvenience.") +
           br + br + QStringLiteral("Module: ") + moduleName + br + QStringLiteral("Procedure: ") +
           procName + br + QStringLiteral("Line Number: ") + QString::number(errorLine) + br + br +
           description + QStringLiteral(" (") + QString::number(errorNumber) + u')';
}

QString Report(qint32 errorNumber, const QString& moduleName, const QString& procName,
               const QString& description, qint32 errorLine, const QString& locals,
               const QString& moduleVars, const QString& params) {
    std::unique_ptr<QObject> component(createComponent(QStringLiteral("errs.Error")));
    if (!component) {
        MsgBox(MessageText(errorNumber, moduleName, procName, description, errorLine), mb::Critical,
               QStringLiteral("Application Error"));
        return QString();
    }
    const QString variables = VariablesDocument(locals, moduleVars, GlobalsText(), params);
    const QString version = modWP::LibraryVersion();
    const bool called = QMetaObject::invokeMethod(
        component.get(), "ErrorHandler", Qt::DirectConnection, Q_ARG(int, errorNumber),
        Q_ARG(QString, vbcsComponentID), Q_ARG(QString, moduleName), Q_ARG(QString, procName),
        Q_ARG(QString, description), Q_ARG(int, errorLine), Q_ARG(QString, variables),
        Q_ARG(QString, version));
    if (!called)
        throw wp::Error(438, QStringLiteral("wp"),
                        QStringLiteral("Object doesn't support this property or method"));
    return component->property("Action").toString();
}

wp::Error currentError(std::exception_ptr ex) {
    try {
        std::rethrow_exception(ex);
    } catch (const wp::Error& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return wp::Error(7, QStringLiteral("wp"), QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        return wp::Error(err::ApplicationDefined - 1, QStringLiteral("wp"),
                         QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return wp::Error(err::ApplicationDefined - 1, QStringLiteral("wp"),
                         QStringLiteral("Unknown failure"));
    }
}

Guard& Guard::udtParam(const QString& name) {
    m_params.push_back(dump::Variable{
        name, [name](int indent) { return dump::var(name, dump::UdtParameter{}, indent); }});
    return *this;
}

void Guard::report(std::exception_ptr ex) {
    const wp::Error error = currentError(ex);
    Capture(error);
    const QString locals = dump::list(m_locals);
    QString moduleVars;
    if (m_disabled)
        moduleVars = QStringLiteral("{Disabled}");
    else if (m_owner)
        moduleVars = m_owner->DumpModuleVariables();
    else
        moduleVars = QStringLiteral("{None}");
    const QString params = dump::list(m_params);
    Report(vbcsErrorNumber, QString::fromLatin1(m_module), QString::fromLatin1(m_procedure),
           vbcsErrorDescription, vbcsErrorLine, locals, moduleVars, params);
}

QString ExceptionName(quint32 code) {
    switch (code) {
    case 0x80000001u:
        return QStringLiteral("Guard Page Violation");
    case 0x80000002u:
        return QStringLiteral("Data Type Misalignment");
    case 0x80000003u:
        return QStringLiteral("Breakpoint");
    case 0x80000004u:
        return QStringLiteral("Single Step");
    case 0xC0000005u:
        return QStringLiteral("Access Violation");
    case 0xC0000006u:
        return QStringLiteral("In Page Error");
    case 0xC0000008u:
        return QStringLiteral("Invalid Handle");
    case 0xC000001Du:
        return QStringLiteral("Illegal Instruction");
    case 0xC0000025u:
        return QStringLiteral("Non Continuable Exception");
    case 0xC0000026u:
        return QStringLiteral("Invalid Disposition");
    case 0xC000008Cu:
        return QStringLiteral("Array Bounds Exceeded");
    case 0xC000008Du:
        return QStringLiteral("Float Denormal Operand");
    case 0xC000008Eu:
        return QStringLiteral("Divide By Zero");
    case 0xC000008Fu:
        return QStringLiteral("Floating Point Inexact Result");
    case 0xC0000090u:
        return QStringLiteral("Invalid Operation");
    case 0xC0000091u:
        return QStringLiteral("Float Overflow");
    case 0xC0000092u:
        return QStringLiteral("Float Stack Check");
    case 0xC0000093u:
        return QStringLiteral("Float Underflow");
    case 0xC0000094u:
        return QStringLiteral("Integer Divide By Zero");
    case 0xC0000095u:
        return QStringLiteral("Integer Overflow");
    case 0xC0000096u:
        return QStringLiteral("Privileged Instruction");
    case 0xC00000FDu:
        return QStringLiteral("Stack Overflow");
    case 0xC000013Au:
        return QStringLiteral("Control-C Exit");
    default:
        return QStringLiteral("Unknown (&H%1)")
            .arg(QString::number(code, 16).toUpper().rightJustified(8, u'0'));
    }
}

namespace {

// The Windows status code that stands for a POSIX fault.
quint32 exceptionCode(int sig, int code) {
    switch (sig) {
    case SIGSEGV:
        return 0xC0000005u;
    case SIGBUS:
        return code == BUS_ADRALN ? 0x80000002u : 0xC0000006u;
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return 0xC0000094u;
        case FPE_INTOVF:
            return 0xC0000095u;
        case FPE_FLTDIV:
            return 0xC000008Eu;
        case FPE_FLTOVF:
            return 0xC0000091u;
        case FPE_FLTUND:
            return 0xC0000093u;
        case FPE_FLTRES:
            return 0xC000008Fu;
        case FPE_FLTINV:
            return 0xC0000090u;
        case FPE_FLTSUB:
            return 0xC000008Cu;
        default:
            return 0xC0000090u;
        }
    case SIGILL:
        return (code == ILL_PRVOPC || code == ILL_PRVREG) ? 0xC0000096u : 0xC000001Du;
    case SIGTRAP:
        return code == TRAP_TRACE ? 0x80000004u : 0x80000003u;
    default:
        return 0;
    }
}

// The lowest address of the thread's stack that Initialise saw, to tell a
// stack overflow from any other access violation.
char* s_stackLimit = nullptr;

// The handlers that were installed before ours, for faults outside any guard.
struct sigaction s_previous[NSIG];
std::terminate_handler s_previousTerminate = nullptr;

// Executable code of the library and of the host program. Only there may a
// stack overflow be left by a jump: code of the C library or of Qt might be
// holding a lock or be halfway through changing its own state.
struct CodeRange {
    std::uintptr_t begin, end;
};
CodeRange s_ownCode[16];
int s_ownCodeCount = 0;

int collectOwnCode(dl_phdr_info* info, size_t, void* self) {
    const bool isProgram = !info->dlpi_name || !*info->dlpi_name;
    bool isLibrary = false;
    for (int i = 0; i < info->dlpi_phnum && !isProgram; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        const auto begin = info->dlpi_addr + ph.p_vaddr;
        const auto at = reinterpret_cast<std::uintptr_t>(self);
        if (ph.p_type == PT_LOAD && at >= begin && at < begin + ph.p_memsz)
            isLibrary = true;
    }
    if (!isProgram && !isLibrary)
        return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X) ||
            s_ownCodeCount == int(std::size(s_ownCode)))
            continue;
        const auto begin = info->dlpi_addr + ph.p_vaddr;
        s_ownCode[s_ownCodeCount++] = {begin, begin + ph.p_memsz};
    }
    return 0;
}

bool inOwnCode(const void* context) {
    if (!context)
        return false;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    const auto pc = static_cast<std::uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    const auto pc = static_cast<std::uintptr_t>(uc->uc_mcontext.pc);
#else
    (void)uc;
    const std::uintptr_t pc = 0;
#endif
    for (int i = 0; i < s_ownCodeCount; ++i)
        if (pc >= s_ownCode[i].begin && pc < s_ownCode[i].end)
            return true;
    return false;
}

// Hands a fault outside any guard to the host's own handler, as if ours
// were not there. False when there was none.
bool chainToPrevious(int sig, siginfo_t* info, void* context) {
    const struct sigaction& prev = s_previous[sig];
    if (prev.sa_flags & SA_SIGINFO) {
        if (!prev.sa_sigaction)
            return false;
        prev.sa_sigaction(sig, info, context);
        return true;
    }
    if (prev.sa_handler == SIG_DFL || prev.sa_handler == SIG_IGN)
        return false;
    prev.sa_handler(sig);
    return true;
}

void writeStderr(const char* text, int n) {
    if (n > 0)
        (void)!write(STDERR_FILENO, text, static_cast<size_t>(n));
}

// A failure that no guard can take (thrown through noexcept code, or from a
// fault in code without unwind tables): say what it was before the process
// ends, then let the previous handler end it as it would have.
[[noreturn]] void onTerminate() {
    QByteArray what = "std::terminate without a failure";
    if (std::exception_ptr ex = std::current_exception()) {
        const wp::Error e = currentError(ex);
        what = QStringLiteral("%1 (%2)").arg(e.description).arg(e.number).toLocal8Bit();
    }
    char text[600];
    writeStderr(text, std::snprintf(text, sizeof text,
                                    "wp: unrecoverable failure outside the reach of the "
                                    "library's error handler: %s; the process ends.\n",
                                    what.constData()));
    if (s_previousTerminate)
        s_previousTerminate();
    std::abort();
}

bool isStackOverflow(int sig, const siginfo_t* info) {
    if (sig != SIGSEGV || !info || !s_stackLimit)
        return false;
    const auto* addr = static_cast<const char*>(info->si_addr);
    constexpr std::ptrdiff_t slack = 256 * 1024;
    return addr >= s_stackLimit - slack && addr < s_stackLimit + slack;
}

void vbcsExceptionFilter(int sig, siginfo_t* info, void* context) {
    const bool overflow = isStackOverflow(sig, info);
    const quint32 code = overflow ? 0xC00000FDu : exceptionCode(sig, info ? info->si_code : 0);
    // An overflowed stack cannot be unwound (the cleanups would need the
    // stack that is not there): leave it by a jump to the outermost guard.
    if (overflow && t_guardDepth > 0 && t_boundary && inOwnCode(context))
        siglongjmp(*t_boundary, 1);
    if (t_guardDepth > 0 && !overflow) {
        // The faulting code was built to unwind from here: the innermost
        // guard receives this like any other failure.
        throw wp::Error(ExceptionErrorNumber(code), QStringLiteral("vbcsExceptionFilter"),
                        ExceptionName(code));
    }
    if (t_guardDepth == 0 && chainToPrevious(sig, info, context))
        return;
    // No guard to receive it: say what happened and end cleanly rather than
    // run on in a corrupted process.
    char text[200];
    const int n = std::snprintf(text, sizeof text,
                                overflow ? "wp: processor exception 0x%08X (Stack Overflow); the "
                                           "process ends.\n"
                                         : "wp: unhandled processor exception 0x%08X outside any "
                                           "library procedure; the process ends.\n",
                                code);
    writeStderr(text, n);
    _exit(70);
}

#if defined(__SANITIZE_ADDRESS__)
// The abandoned frames keep their poisoned red zones; clear them so that
// the stack can be used again.
__attribute__((noinline)) void unpoisonAbandonedFrames() {
    char* here = static_cast<char*>(__builtin_frame_address(0));
    if (s_stackLimit && here > s_stackLimit + 4096)
        __asan_unpoison_memory_region(s_stackLimit, size_t(here - 4096 - s_stackLimit));
}
#endif

} // namespace

void atOutermostGuard(void (*fn)(void*), void* ctx) {
    sigjmp_buf boundary;
    const int depth = t_guardDepth;
    struct Leave {
        ~Leave() { t_boundary = nullptr; }
    } leave;
    t_boundary = &boundary;
    if (sigsetjmp(boundary, 1) != 0) {
        // Back from a stack overflow: the guards in between never ended.
        t_boundary = nullptr;
        t_guardDepth = depth;
#if defined(__SANITIZE_ADDRESS__)
        unpoisonAbandonedFrames();
#endif
        throw wp::Error(ExceptionErrorNumber(0xC00000FDu), QStringLiteral("vbcsExceptionFilter"),
                        ExceptionName(0xC00000FDu));
    }
    fn(ctx);
}

void Initialise() {
    if (vbcsHasInitialised)
        return;
    // A stack overflow leaves no stack to run the filter on: give it one.
    static std::vector<char> altStack(std::max<size_t>(SIGSTKSZ, 256 * 1024));
    stack_t ss{};
    ss.ss_sp = altStack.data();
    ss.ss_size = altStack.size();
    sigaltstack(&ss, nullptr);
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) == 0) {
        void* low = nullptr;
        size_t size = 0;
        if (pthread_attr_getstack(&attr, &low, &size) == 0)
            s_stackLimit = static_cast<char*>(low);
        pthread_attr_destroy(&attr);
    }
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = vbcsExceptionFilter;
    sa.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP})
        sigaction(sig, &sa, &s_previous[sig]);
    dl_iterate_phdr(collectOwnCode, reinterpret_cast<void*>(&Initialise));
    s_previousTerminate = std::set_terminate(onTerminate);
    vbcsHasInitialised = true;
}

} // namespace wp::modvbCodeShieldSupport
