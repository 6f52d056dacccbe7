-- For own tables installed before the indexes on the fiscal status: without them every polling
-- cycle reads the whole status table to pair deposit transfers (and, with the Czech interface, to
-- find bills marked to be registered again), which grows slower with every day of history, and
-- reads a row of it for each transaction of the day. Run as the user that owns the service's
-- tables.
CREATE INDEX qel_fin_trx_status_idx ON qel_financial_transactions (qel_fisc_status, trx_amount, reference, trx_no);
CREATE INDEX qel_fin_trx_no_status_idx ON qel_financial_transactions (trx_no, qel_fisc_status);
