-- For tables installed before the service took up checks left on closed business dates: the
-- index that keeps that search of every polling cycle to the few open rows. Run as the user that
-- owns the service's tables.
CREATE INDEX qel_fin_trx_status_date_idx ON qel_financial_transactions (qel_fisc_status, business_date);
