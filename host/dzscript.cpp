#include "dzscript.h"
#include <QScriptEngine>
#include "dzapp.h"
#include "dzplugin.h"

bool DzScript::execute()
{
    m_error.clear();
    QScriptEngine engine;
    if (dzApp) {
        engine.globalObject().setProperty("MainWindow", engine.newQObject(dzApp->getInterface()));
        dzApp->getPluginMgr()->registerScriptClasses(&engine);
    }
    const QString code = getCode();
    const QScriptSyntaxCheckResult check = QScriptEngine::checkSyntax(code);
    if (check.state() != QScriptSyntaxCheckResult::Valid) {
        m_error = QString("Line %1: %2").arg(check.errorLineNumber()).arg(check.errorMessage());
        return false;
    }
    const QScriptValue result = engine.evaluate(code);
    if (engine.hasUncaughtException()) {
        m_error = QString("Line %1: %2").arg(engine.uncaughtExceptionLineNumber()).arg(result.toString());
        return false;
    }
    return true;
}
