// Composes a 200-line hotel bill: a month of room nights with VAT and city-tax lines, breakfast
// packages, restaurant and minibar postings, discounts and ten payments.
//   cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFISCORA_TESTS=OFF
//         -DCMAKE_CXX_FLAGS=-Wno-error=restrict
//   cmake --build build/bench --target compose_bench
//   build/bench/tools/compose_bench/compose_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <cstdio>

#include "check/CFiscalCheck.h"

namespace {

struct_posting Line(int trxNo, int code, double amount, const char* tax) {
    struct_posting p;
    p.trx_no = trxNo;
    p.trx_code = code;
    p.trx_amount = amount;
    p.tax_group = tax;
    p.line_type = 0;
    p.description = "Posting";
    p.rate_code = "BAR";
    return p;
}

CFiscalCheck MonthBill() {
    CFiscalCheck c;
    c.statusCode = kBillCheck;
    c.checkMode = 7;
    c.appendRateCode = true;
    c.checkNumber = "40211";
    int no = 1000;
    double total = 0;
    for (int night = 0; night < 30; ++night) {
        int room = ++no;
        c.postings.push_back(Line(room, 1000, 100.00, "1"));
        struct_posting vat = Line(++no, 9000, 16.67, "1");
        vat.line_type = 7, vat.added_by = room, vat.tax_included = true;
        c.postings.push_back(vat);
        struct_posting city = Line(++no, 9100, 2.00, "2");
        city.line_type = 7, city.added_by = room;
        c.postings.push_back(city);
        total += 102.00;
    }
    for (int day = 0; day < 10; ++day) {
        int link = 5000 + day;
        struct_posting package = Line(++no, 1010, 150.00, "1");
        package.package_link = link;
        struct_posting room = Line(++no, 1000, 120.00, "5");
        room.package_link = link, room.excluded = true, room.guest_account_debit = 150.00;
        struct_posting breakfast = Line(++no, 2100, 30.00, "5");
        breakfast.package_link = link, breakfast.excluded = true;
        c.postings.push_back(package);
        c.postings.push_back(room);
        c.postings.push_back(breakfast);
        total += 150.00;
    }
    for (int i = 0; i < 40; ++i) {
        double amount = 12.35 + i % 7 * 4.10;
        c.postings.push_back(Line(++no, 2100 + i % 10, amount, "1"));
        total += amount;
    }
    for (int i = 0; i < 20; ++i) {
        c.postings.push_back(Line(++no, 3000, 3.50, "1"));
        total += 3.50;
    }
    for (int i = 0; i < 10; ++i) {
        struct_posting discount = Line(++no, 2900, -1.00, "1");
        discount.line_type = 4;
        c.postings.push_back(discount);
        total -= 1.00;
    }
    for (int i = 0; i < 9; ++i) {
        struct_posting card;
        card.trx_no = ++no, card.trx_code = 9004 + i, card.trx_amount = 500.00, card.pay_kind = 3;
        card.print_code = std::to_string(2 + i);
        c.payments.push_back(card);
        total -= 500.00;
    }
    struct_posting cash;
    cash.trx_no = ++no, cash.trx_code = 9000, cash.trx_amount = total, cash.pay_kind = 0, cash.print_code = "1";
    c.payments.push_back(cash);
    return c;
}

void BM_CopyBill(benchmark::State& state) {
    const CFiscalCheck bill = MonthBill();
    for (auto _ : state) {
        CFiscalCheck check(bill);
        benchmark::DoNotOptimize(check.postings.data());
    }
}

void BM_ComposeBill(benchmark::State& state) {
    const CFiscalCheck bill = MonthBill();
    CFiscalCheck probe(bill);
    if (bill.postings.size() + bill.payments.size() != 200 || !probe.Compose()) {
        state.SkipWithError(("the bill does not compose: " + probe.errorText).c_str());
        return;
    }
    for (auto _ : state) {
        CFiscalCheck check(bill);
        bool composed = check.Compose();
        benchmark::DoNotOptimize(composed);
    }
    state.counters["lines"] = 200;
    state.counters["postings_after"] = static_cast<double>(probe.postings.size());
}

}  // namespace

BENCHMARK(BM_CopyBill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeBill)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
