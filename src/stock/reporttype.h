#pragma once
// The four stock reports, as the stock query window's option buttons choose them.
namespace qh::stock {

enum class StockQueryType {
    Ycrk, // OptYcrk "药品入库": purchases into stock
    Ycck, // OptYcck "药品出库": every other movement
    Ckrk, // OptCkrk "库存明细表": the in-and-out detail
    Ycjy, // OptYcjy "药品结余": the balances, whatever the dates and the drug
};

} // namespace qh::stock
