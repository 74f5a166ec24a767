#include "cli/prove/prover.h"

#include "cli/prove/cycle_encoding.h"
#include "cli/prove/value_bounds.h"

#include <algorithm>
#include <span>
#include <string>

namespace zelk::prove {

namespace {

constexpr unsigned kMonitorBits = 16;
constexpr unsigned kNoTrigger = 0xFFFF; // the response monitor: no trigger waits for its answer

// A state after a cycle, with the response monitor: the cycles since the oldest unanswered trigger.
struct Step {
    State state;
    z3::expr waiting;
};

z3::expr relation(vtest::Relation r, const z3::expr& a, const z3::expr& b) {
    switch (r) {
    case vtest::Relation::Eq:
        return a == b;
    case vtest::Relation::Ne:
        return a != b;
    case vtest::Relation::Lt:
        return a < b;
    case vtest::Relation::Gt:
        return a > b;
    case vtest::Relation::Le:
        return a <= b;
    case vtest::Relation::Ge:
        return a >= b;
    }
    return a == b;
}

// A pin is energized when its bit is 0.
z3::expr energized(const z3::expr& port, int pin) {
    return port.extract(static_cast<unsigned>(pin), static_cast<unsigned>(pin)) == port.ctx().bv_val(0, 1);
}

z3::expr pinTest(PinTest test, const z3::expr& now, const z3::expr& before, int pin) {
    switch (test) {
    case PinTest::On:
        return energized(now, pin);
    case PinTest::Off:
        return !energized(now, pin);
    case PinTest::Rises:
        return energized(now, pin) && !energized(before, pin);
    case PinTest::Falls:
        return !energized(now, pin) && energized(before, pin);
    }
    return energized(now, pin);
}

z3::expr atom(const Atom& a, const State& s) {
    z3::context& c = s.port0.ctx();
    z3::expr holds = c.bool_val(true);
    switch (a.subject) {
    case Subject::InputPin:
        holds = pinTest(a.pin, s.port0, s.lastPort0, a.index);
        break;
    case Subject::OutputPin:
        holds = pinTest(a.pin, s.port1, s.lastPort1, a.index);
        break;
    case Subject::Port0:
        holds = relation(a.relation, z3::zext(s.port0, 24), c.bv_val(a.value, 32));
        break;
    case Subject::Port1:
        holds = relation(a.relation, z3::zext(s.port1, 24), c.bv_val(a.value, 32));
        break;
    case Subject::Variable:
        holds = relation(a.relation, s.variables[static_cast<std::size_t>(a.index)], c.bv_val(a.value, 32));
        break;
    }
    return a.negated ? !holds : holds;
}

z3::expr condition(const Condition& condition, const State& s) {
    z3::context& c = s.port0.ctx();
    z3::expr any = c.bool_val(false);
    for (const auto& term : condition.terms) {
        z3::expr all = c.bool_val(true);
        for (const Atom& a : term)
            all = all && atom(a, s);
        any = any || all;
    }
    return any;
}

// The variables the property reads.
CycleEncoding::Variables watchedBy(const Property& property) {
    CycleEncoding::Variables watched;
    for (const Condition* condition : {&property.condition, &property.trigger})
        for (const auto& term : condition->terms)
            for (const Atom& a : term)
                if (a.subject == Subject::Variable && a.index >= 0 && a.index < kVariableCount)
                    watched.set(static_cast<std::size_t>(a.index));
    return watched;
}

Result outcome(Verdict verdict, int depth) {
    Result result;
    result.verdict = verdict;
    result.depth = depth;
    return result;
}

class Checker {
public:
    Checker(const Program& program, const Property& property)
        : encoding_(context_, program, watchedBy(property)), bounds_(program), property_(property),
          base_(context_, "QF_BV"), induction_(context_, "QF_BV") {}

    // An induction step that takes longer than this is given up: the bounded check still runs to the depth.
    static constexpr unsigned kInductionStepMs = 3000;

    Result run(int depth) {
        z3::params limit(context_);
        limit.set("timeout", kInductionStepMs);
        induction_.set(limit);
        const Step start{encoding_.initial(), monitorValue(kNoTrigger)};
        std::vector<Step> path{start};
        std::vector<z3::expr> inputs;
        std::vector<Step> free{unknownStep("t0_")};
        induction_.add(encoding_.cycleEndShape(free[0].state));
        if (property_.kind == Kind::Response)
            induction_.add(free[0].waiting == monitorValue(kNoTrigger) ||
                           z3::ult(free[0].waiting, monitorValue(static_cast<unsigned>(property_.within))));

        for (int k = 1; k <= depth; ++k) {
            // The run from its start, one cycle longer; its new end is checked with the next batch.
            const z3::expr input = context_.bv_const(("in" + std::to_string(k - 1)).c_str(), 8);
            inputs.push_back(k - 1 == kSecondCycle ? secondCycleInput(inputs.front(), input) : input);
            path.push_back(link(base_, path.back(), inputs.back(), "s" + std::to_string(k) + "_"));
            addBounds(path.back().state, bounds_.next());
            unchecked_.push_back(bad(path.back()));

            // Induction: k states in a row where it holds, from any state a run can be in, are followed
            // by one where it holds too. Together with the first k cycles of the run it covers every run.
            bool inductive = false;
            if (k <= inductionLimit() && tryInduction_) {
                induction_.add(!bad(free.back()));
                free.push_back(link(induction_, free.back(),
                                    context_.bv_const(("u" + std::to_string(k)).c_str(), 8),
                                    "t" + std::to_string(k) + "_"));
                if (worthInduction(k)) {
                    const z3::check_result step = induction_.check(1, &guarded(induction_, bad(free.back())));
                    inductive = step == z3::unsat;
                    tryInduction_ = step == z3::sat; // out of time: deeper steps would take longer still
                }
            }

            if (inductive || unchecked_.size() == kBatch || k == depth)
                if (const int broken = checkBatch(k); broken > 0) return found(broken, inputs);
            if (inductive)
                return outcome(property_.kind == Kind::Reachable ? Verdict::Unreachable : Verdict::Proved, k);
        }
        return outcome(property_.kind == Kind::Reachable ? Verdict::NotReached : Verdict::HoldsUpTo, depth);
    }

private:
    // The run's cycle ends are checked in batches: one solver call for many cycles while none breaks the
    // property, then one per cycle of the batch that does, for the first.
    static constexpr std::size_t kBatch = 32;

    // The first cycle (from 1) of the unchecked ends, up to cycle last, that breaks the property; 0 for none.
    // The ranges every run's variables keep after this cycle, as facts of the run from its start.
    void addBounds(const State& s, const std::array<Interval, kVariableCount>& bounds) {
        for (std::size_t n = 0; n < bounds.size(); ++n) {
            if (bounds[n].isEverything() || s.variables[n].is_numeral()) continue;
            base_.add(s.variables[n] >= context_.bv_val(bounds[n].low, 32) &&
                      s.variables[n] <= context_.bv_val(bounds[n].high, 32));
        }
    }

    int checkBatch(int last) {
        const int first = last - static_cast<int>(unchecked_.size()) + 1;
        firstUnchecked_ = first;
        z3::expr any = context_.bool_val(false);
        for (const z3::expr& b : unchecked_)
            any = any || b;
        int broken = 0;
        if (base_.check(1, &guarded(base_, any)) == z3::sat)
            for (std::size_t i = 0; i < unchecked_.size() && broken == 0; ++i)
                if (base_.check(1, &guarded(base_, unchecked_[i])) == z3::sat)
                    broken = first + static_cast<int>(i);
        if (broken > 0) return broken; // found() still needs the batch
        for (const z3::expr& b : unchecked_)
            base_.add(!b);
        unchecked_.clear();
        return 0;
    }

    // Induction is tried at every depth up to 16, just past a response's window, and then at powers of 2:
    // a failed attempt costs a solver call over the whole unrolled path.
    // Beyond this depth induction is not tried: without more invariants it seldom closes there, and its
    // unrolled path costs as much memory as the run's.
    int inductionLimit() const {
        return std::max(64, property_.kind == Kind::Response ? property_.within + 4 : 0);
    }

    bool worthInduction(int k) const {
        if (k <= 16) return true;
        if (property_.kind == Kind::Response && k > property_.within && k <= property_.within + 4)
            return true;
        return (k & (k - 1)) == 0;
    }

    z3::expr monitorValue(unsigned value) { return context_.bv_val(value, kMonitorBits); }

    Step unknownStep(const std::string& prefix) {
        return {encoding_.unknown(prefix), context_.bv_const((prefix + "waiting").c_str(), kMonitorBits)};
    }

    // The state after one more cycle, as fresh unknowns tied to the cycle's formula.
    // A part of the next state: a constant stays one (the counters of the run from its start, the output
    // while no line can change it); anything else is named by a fresh unknown, so that each cycle's formula
    // is stated once however often the part is read.
    z3::expr named(z3::solver& solver, const z3::expr& value, const std::string& name) {
        const z3::expr simplified = value.simplify();
        if (simplified.is_numeral()) return simplified;
        const z3::expr unknown = context_.bv_const(name.c_str(), simplified.get_sort().bv_size());
        solver.add(unknown == simplified);
        return unknown;
    }

    // The state after one more cycle.
    Step link(z3::solver& solver, const Step& from, const z3::expr& input, const std::string& prefix) {
        State next = encoding_.next(from.state, input);
        const std::pair<z3::expr*, const char*> parts[] = {
            {&next.port0, "port0"},         {&next.port1, "port1"}, {&next.lastPort0, "lastPort0"},
            {&next.lastPort1, "lastPort1"}, {&next.tick, "tick"},   {&next.sequence, "seq"},
            {&next.seconds, "seconds"}};
        for (const auto& [part, name] : parts)
            *part = named(solver, *part, prefix + name);
        for (std::size_t n = 0; n < next.variables.size(); ++n)
            next.variables[n] = named(solver, next.variables[n], prefix + "var" + std::to_string(n));
        z3::expr waiting = monitorValue(kNoTrigger);
        if (property_.kind == Kind::Response) {
            const z3::expr none = monitorValue(kNoTrigger);
            waiting =
                named(solver,
                      z3::ite(condition(property_.condition, next), none,
                              z3::ite(from.waiting != none, from.waiting + monitorValue(1),
                                      z3::ite(condition(property_.trigger, next), monitorValue(0), none))),
                      prefix + "waiting");
        }
        return {next, waiting};
    }

    // What must never be true of a cycle's end; for "reachable", what is looked for.
    z3::expr bad(const Step& s) {
        switch (property_.kind) {
        case Kind::Never:
        case Kind::Reachable:
            return condition(property_.condition, s.state);
        case Kind::Always:
            return !condition(property_.condition, s.state);
        case Kind::Response:
            return s.waiting != monitorValue(kNoTrigger) &&
                   z3::uge(s.waiting, monitorValue(static_cast<unsigned>(property_.within)));
        }
        return context_.bool_val(false);
    }

    // A fresh literal that implies the goal: checked as an assumption, so the solver keeps what it learnt.
    z3::expr& guarded(z3::solver& solver, const z3::expr& goal) {
        guards_.push_back(context_.bool_const(("goal" + std::to_string(guards_.size())).c_str()));
        solver.add(z3::implies(guards_.back(), goal));
        return guards_.back();
    }

    // The result of the first cycle k that breaks the property, with inputs that change as few pins as the
    // solver can keep: each pin is asked to keep the value it had the cycle before (released before the
    // first), and a request the solver refuses (in its unsat core) is dropped until the run is found again.
    Result found(int k, const std::vector<z3::expr>& inputs) {
        std::vector<z3::expr> keeps;
        for (int c = 0; c < k; ++c) {
            const z3::expr& now = inputs[static_cast<std::size_t>(c)];
            const z3::expr before =
                c == 0 ? context_.bv_val(0xFF, 8) : inputs[static_cast<std::size_t>(c) - 1];
            for (unsigned pin = 0; pin < 8; ++pin) {
                keeps.push_back(
                    context_.bool_const(("keep" + std::to_string(c) + "_" + std::to_string(pin)).c_str()));
                base_.add(z3::implies(keeps.back(), now.extract(pin, pin) == before.extract(pin, pin)));
            }
        }
        const z3::expr goal = guarded(base_, unchecked_[static_cast<std::size_t>(k - firstUnchecked_)]);
        for (;;) {
            z3::expr_vector assumptions(context_);
            assumptions.push_back(goal);
            for (const z3::expr& keep : keeps)
                assumptions.push_back(keep);
            if (base_.check(assumptions) == z3::sat) break;
            // One request at a time, the latest cycle's first, so that no change is made that is not needed.
            const z3::expr_vector core = base_.unsat_core();
            const auto refused = std::find_if(keeps.rbegin(), keeps.rend(), [&](const z3::expr& keep) {
                for (unsigned i = 0; i < core.size(); ++i)
                    if (z3::eq(core[i], keep)) return true;
                return false;
            });
            if (refused == keeps.rend()) break; // cannot happen: the goal alone was satisfiable
            keeps.erase(std::next(refused).base());
        }
        const z3::model model = base_.get_model();
        Result result =
            outcome(property_.kind == Kind::Reachable ? Verdict::Reachable : Verdict::Violated, k);
        result.cycle = k - 1;
        for (const z3::expr& input : std::span(inputs).first(static_cast<std::size_t>(k)))
            result.inputs.push_back(static_cast<std::uint8_t>(model.eval(input, true).get_numeral_uint()));
        if (property_.kind == Kind::Response) result.trigger = result.cycle - property_.within;
        return result;
    }

    z3::context context_;
    CycleEncoding encoding_;
    ValueBounds bounds_;
    const Property& property_;
    z3::solver base_;
    z3::solver induction_;
    std::vector<z3::expr> guards_;
    std::vector<z3::expr> unchecked_; // the run's cycle ends not yet checked: what breaks the property there
    int firstUnchecked_ = 1;          // the cycle (from 1) of unchecked_.front()
    bool tryInduction_ = true;        // false once an induction step ran out of its time
};

} // namespace

Result prove(const Program& program, const Property& property, int depth) {
    return Checker(program, property).run(depth);
}

} // namespace zelk::prove
