// Array elements given attributes by ASSetPropFlags: hidden ones do not
// enumerate, read-only ones ignore writes, undeletable ones stay, and
// shift moves values the way the player moves properties.

#include "script_test_support.h"

using qev::swf::writer::ActionAssembler;
using script_test::play;
namespace op = qev::swf::writer::op;

namespace {

QStringList traces(const ActionAssembler& script)
{
    return play({script}, 7, 1).traces;
}

// name = [1, 2, 3] with flags on the element at index.
void flaggedArray(ActionAssembler& a, const char* name, const char* index, int flags)
{
    a.push(name).push(3).push(2).push(1).push(3).op(op::InitArray).op(op::DefineLocal);
    a.push(flags).push(index).push(name).op(op::GetVariable).push(3).push("ASSetPropFlags").op(op::CallFunction)
        .op(op::Pop);
}

// Traces each name for-in gives for the variable's object.
void traceKeys(ActionAssembler& a, const char* name)
{
    a.push(name).op(op::GetVariable).op(op::Enumerate2);
    a.label(QStringLiteral("top_%1").arg(name));
    a.storeRegister(0).pushNull().op(op::Equals2).ifTrue(QStringLiteral("done_%1").arg(name));
    a.pushRegister(0).op(op::Trace);
    a.jump(QStringLiteral("top_%1").arg(name));
    a.label(QStringLiteral("done_%1").arg(name));
}

void shiftAndTrace(ActionAssembler& a, const char* name)
{
    a.push(0).push(name).op(op::GetVariable).push("shift").op(op::CallMethod).op(op::Trace);
    a.push(name).op(op::GetVariable).op(op::Trace);
}

} // namespace

TEST(Avm1ArrayAttributes, HiddenElementsDoNotEnumerateAndReadOnlyOnesKeepTheirValue)
{
    ActionAssembler a(7);
    flaggedArray(a, "h", "1", 1);
    traceKeys(a, "h");
    flaggedArray(a, "r", "0", 4);
    a.push("r").op(op::GetVariable).push("0").push(9).op(op::SetMember);
    a.push("r").op(op::GetVariable).op(op::Trace);
    flaggedArray(a, "d", "2", 2);
    a.push("d").op(op::GetVariable).push("2").op(op::Delete).op(op::Trace);
    a.push("d").op(op::GetVariable).op(op::Trace);
    EXPECT_EQ(traces(a), (QStringList{"2", "0", "1,2,3", "false", "1,2,3"}));
}

TEST(Avm1ArrayAttributes, ShiftDeletesThenMovesValuesDown)
{
    ActionAssembler a(7);
    // Read-only and undeletable first element: it keeps 1, the rest moves.
    flaggedArray(a, "x", "0", 6);
    shiftAndTrace(a, "x");
    // An undeletable last element stays past the new length.
    flaggedArray(a, "y", "2", 2);
    shiftAndTrace(a, "y");
    a.push("y").op(op::GetVariable).push("2").op(op::GetMember).op(op::Trace);
    // A hidden element is deleted and made again: it enumerates afterwards.
    flaggedArray(a, "z", "0", 1);
    shiftAndTrace(a, "z");
    traceKeys(a, "z");
    EXPECT_EQ(traces(a), (QStringList{"1", "1,3", "1", "2,3", "3", "1", "2,3", "1", "0"}));
}
