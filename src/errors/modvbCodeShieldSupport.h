#pragma once
// The error reporter: every guarded procedure hands its failure, its module
// and procedure names and its variables to Report, then fails to its caller
// with error 65535. Processor faults become ordinary errors on the way.

#include "core/Dump.h"
#include "wp/Error.h"

#include <QString>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace wp::modvbCodeShieldSupport {

// Error state, in the order the global dump lists it.
extern QString vbcsComponentID;
extern bool vbcsHasInitialised;
extern qint32 vbcsErrorNumber;
extern QString vbcsErrorDescription;
extern qint32 vbcsErrorLine;
extern QString vbcsErrorSource;

/// Installs the process-wide fault filter once.
void Initialise();
/// Copies the error into the error state.
void Capture(const wp::Error& error);
/// Hands the report to "errs.Error" (returns its Action) or shows the
/// "Application Error" message box (returns "").
QString Report(qint32 errorNumber, const QString& moduleName, const QString& procName,
               const QString& description, qint32 errorLine, const QString& locals,
               const QString& moduleVars, const QString& params);
/// The variables document as handed to the error component.
QString VariablesDocument(const QString& locals, const QString& moduleVars, const QString& globals,
                          const QString& params);
/// The library-wide variables: modWP's globals, then the error state.
QString GlobalsText();
/// The message box text used when no error component is registered.
QString MessageText(qint32 errorNumber, const QString& moduleName, const QString& procName,
                    const QString& description, qint32 errorLine);

/// Windows exception name for a status code ("Access Violation", ...).
QString ExceptionName(quint32 code);
/// The error number a processor exception is raised with.
constexpr qint32 ExceptionErrorNumber(quint32 code) {
    return static_cast<qint32>((code & 0x8EFu) | 10000u);
}

/// Turns whatever was thrown into a wp::Error.
wp::Error currentError(std::exception_ptr ex);

/// Classes and windows whose member variables appear in reports.
class ModuleVariables {
public:
    virtual ~ModuleVariables() = default;
    /// The members, dumped; "{Disabled}" switches the dump off.
    virtual QString DumpModuleVariables() const = 0;
};

/// Depth of guarded procedures on this thread; the fault filter throws
/// only where a guard will catch.
int guardDepth();

/// Runs fn(ctx) as the outermost guarded procedure of this thread. A stack
/// overflow below it cannot be unwound (there is no stack left to run the
/// unwinder's cleanups on), so the filter jumps back here instead and the
/// call fails with error 10237 "Stack Overflow". The frames in between are
/// abandoned without their destructors: their memory is lost, which is the
/// price of going on.
void atOutermostGuard(void (*fn)(void*), void* ctx);

/// The one error handler: runs a procedure's body and, on failure, reports
/// it with the procedure's variables and fails with error 65535.
///
///   Guard g("frmPageDlg", "PageSetup", this);
///   g.param("strXML", strXML).local("strResult", strResult);
///   return g.run([&] { ... });
class Guard {
public:
    Guard(const char* module, const char* procedure, const ModuleVariables* owner = nullptr)
        : m_module(module), m_procedure(procedure), m_owner(owner) {}

    template <class T> Guard& param(const QString& name, const T& value) {
        m_params.push_back(dump::bind(name, value));
        return *this;
    }
    template <class T> Guard& local(const QString& name, const T& value) {
        m_locals.push_back(dump::bind(name, value));
        return *this;
    }
    /// A parameter of a structure type: shown as "{Can't dump UDT parameters}".
    Guard& udtParam(const QString& name);
    /// The module variables read "{Disabled}".
    Guard& disableModuleVariables() {
        m_disabled = true;
        return *this;
    }

    /// Runs `body`; any failure is reported and rethrown as error 65535.
    template <class F> auto run(F&& body) -> decltype(body()) {
        using R = decltype(body());
        Depth depth;
        try {
            if (!depth.outermost)
                return body();
            if constexpr (std::is_void_v<R>) {
                atBoundary([&] { body(); });
                return;
            } else {
                std::optional<R> result;
                atBoundary([&] { result.emplace(body()); });
                return std::move(*result);
            }
        } catch (...) {
            report(std::current_exception());
        }
        throw wp::Error(err::ApplicationDefined, QString(), applicationDefinedDescription());
    }

    /// For event handlers: as run, but the failure ends here after its report.
    /// Returns false when the body failed.
    template <class F> bool runEvent(F&& body) noexcept {
        Depth depth;
        try {
            if (depth.outermost)
                atBoundary([&] { body(); });
            else
                body();
            return true;
        } catch (...) {
            try {
                report(std::current_exception());
            } catch (...) {
                // A report that itself fails must not reach the event loop.
            }
        }
        return false;
    }

private:
    struct Depth {
        Depth();
        ~Depth();
        bool outermost;
    };
    template <class G> static void atBoundary(G&& call) {
        atOutermostGuard([](void* p) { (*static_cast<std::remove_reference_t<G>*>(p))(); }, &call);
    }
    void report(std::exception_ptr ex);

    // Names stay literals until a report needs them: a guard costs no heap
    // until it fails (and a frame abandoned by a stack overflow loses none).
    const char* m_module;
    const char* m_procedure;
    const ModuleVariables* m_owner;
    bool m_disabled = false;
    std::vector<dump::Variable> m_params;
    std::vector<dump::Variable> m_locals;
};

} // namespace wp::modvbCodeShieldSupport
