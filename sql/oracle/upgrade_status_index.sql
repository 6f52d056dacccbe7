-- For own tables installed before the index on the fiscal status: without it every polling cycle
-- reads the whole status table to pair deposit transfers (and, with the Czech interface, to find
-- bills marked to be registered again), which grows slower with every day of history. Run as the
-- user that owns the service's tables.
CREATE INDEX qel_fin_trx_status_idx ON qel_financial_transactions (qel_fisc_status, trx_amount, reference, trx_no);
