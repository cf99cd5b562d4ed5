-- Sample list-page definitions for the tables of sample_tables.sql. Loaded
-- after schema_listpages.sql; ids are fixed and tests rely on them.
--
-- Views (rv_view):
--   table 1: 1 標準ビュー (seqno 3, default), 2 担当者別 (seqno 1, default,
--            empty sort direction), 3 非表示 (seqno 2, NULL values).
--            Default view: 2.
--   table 2: only view -1 (not marked default): the fallback.
--   table 3: view 1, not default and no view -1: no default view.
--   table 4: no views.
-- Filters (rv_search_filter / rv_search_cond) of table 1:
--   1 金額で絞込 '&' seqno 2: col 5 >= 1000, col 1 Like 山田.
--   2 全項目検索 '|' seqno 1: conditions on '' and NULL columns (any column).
--   3 条件なし '&' seqno 3: no conditions.
--   4 削除済み列 '&' seqno 4: a condition on column 99 (not in the table).
--   View links (rv_view_sfilters): view 1 -> 1, 2 and 9 (no such filter);
--   view 2 -> 2.
-- Layout items (rv_layout_item) of table 1: i1 (col 1 text), i5 (col 5
--   number), i7 (col 7 datetime), i9 (col 9 timespan), isys (col -3),
--   igone (col 98, deleted), irel (related item of table 3, col 2).
-- Layouts of table 1:
--   1 list: row 1 (seqno 1) = i5, i1; row 0 (seqno 2) = i7, i9, isys;
--     row 2 (seqno 3) without columns; a stored column of row 7, which
--     does not exist. Formats: i1 full (t_bgcolor not a colour code),
--     i5 with empty values, i7 twice (width 80, then 90); i9, isys, igone
--     and irel have none.
--   2 detail (2 grid columns): rows 0 'e' and 1 's', no columns; one
--     format of i1 that only layout 2 has.
--   3 list: row 0 = i5, i1, i1, igone, inone (no such item).
-- Layout of table 2: 5 list, row 0 = item c1.
-- Totals (rv_total): table 1 totals 1 (seqno 2) and 2 (seqno 1, NULL
--   crosstab); table 2 total 1.
-- Counters (rv_tbl_last_id): table 1 VIEW 3, LAYOUTID 3.

INSERT INTO rv_view (tbl_id, view_id, view_name, seqno, l_layout_id, i_layout_id, d_layout_id,
                     l_sort1_col_id, l_sort1_order, l_sort2_col_id, l_sort2_order,
                     l_sort3_col_id, l_sort3_order, rows_per_page, dispflg, defflg) VALUES
  (1, 1, '標準ビュー', 3, 1, -1, 2, '5', 'd', '1', 'a', NULL, NULL, 20, '1', '1'),
  (1, 2, '担当者別', 1, 1, -1, -1, '13', '', NULL, NULL, NULL, NULL, 50, '1', '1'),
  (1, 3, '非表示', 2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, '0', '0'),
  (2, -1, '既定', 0, 5, -1, -1, '-3', 'd', NULL, NULL, NULL, NULL, 30, '1', '0'),
  (3, 1, '顧客一覧', 1, 1, -1, -1, NULL, NULL, NULL, NULL, NULL, NULL, 10, '1', '0');

INSERT INTO rv_search_filter (tbl_id, filter_id, filter_name, condition, seqno) VALUES
  (1, 1, '金額で絞込', '&', 2),
  (1, 2, '全項目検索', '|', 1),
  (1, 3, '条件なし', '&', 3),
  (1, 4, '削除済み列', '&', 4);

INSERT INTO rv_search_cond (tbl_id, filter_id, cond_id, col_id, comp_type, comp_val_type, comp_val, seqno) VALUES
  (1, 1, 2, '1', 'Like', 1, '山田', 2),
  (1, 1, 1, '5', '>=', 101, '1000', 1),
  (1, 2, 1, '', 'Like', 1, '東京都千代田区', 1),
  (1, 2, 2, NULL, 'Like', NULL, NULL, 2),
  (1, 4, 1, '99', '==', 1, '古い列', 1);

INSERT INTO rv_view_sfilters (tbl_id, view_id, filter_id) VALUES
  (1, 1, 1), (1, 1, 2), (1, 1, 9), (1, 2, 2);

INSERT INTO rv_layout_item (tbl_id, layout_item_id, layout_item_type, col_id, rel_tbl_id, rel_col_id) VALUES
  (1, 'i1', '0', '1', NULL, NULL),
  (1, 'i5', '0', '5', NULL, NULL),
  (1, 'i7', '0', '7', NULL, NULL),
  (1, 'i9', '0', '9', NULL, NULL),
  (1, 'isys', '0', '-3', '', ''),
  (1, 'igone', '0', '98', NULL, NULL),
  (1, 'irel', '1', '1', '3', '2'),
  (2, 'c1', '0', '1', NULL, NULL);

INSERT INTO rv_layout (tbl_id, layout_id, layout_type, layout_table_cols) VALUES
  (1, 1, 'l', NULL),
  (1, 2, 'd', '2'),
  (1, 3, 'l', NULL),
  (2, 5, 'l', NULL);

INSERT INTO rv_layout_row (tbl_id, layout_id, layout_row_id, seqno, layout_cols, layout_row_height, layout_row_type) VALUES
  (1, 1, 0, 2, 3, NULL, 'n'),
  (1, 1, 1, 1, 2, NULL, 'n'),
  (1, 1, 2, 3, 1, NULL, 'n'),
  (1, 2, 0, 1, 2, 3, 'e'),
  (1, 2, 1, 2, 1, NULL, 's'),
  (1, 3, 0, 1, 3, NULL, 'n'),
  (2, 5, 0, 1, 1, NULL, 'n');

-- Inserted out of order: readers order by row and column id.
INSERT INTO rv_layout_col (tbl_id, layout_id, layout_row_id, layout_col_id, layout_item_id) VALUES
  (1, 1, 1, 1, 'i1'),
  (1, 1, 0, 2, 'isys'),
  (1, 1, 1, 0, 'i5'),
  (1, 1, 0, 0, 'i7'),
  (1, 1, 0, 1, 'i9'),
  (1, 1, 7, 0, 'i1'),
  (1, 3, 0, 0, 'i5'),
  (1, 3, 0, 1, 'i1'),
  (1, 3, 0, 2, 'i1'),
  (1, 3, 0, 3, 'igone'),
  (1, 3, 0, 4, 'inone'),
  (2, 5, 0, 0, 'c1');

INSERT INTO rv_layout_item_format (tbl_id, layout_id, layout_item_id, width,
    t_bgcolor, t_align, t_valign, t_fontsize, t_fontcolor, t_fontstyle,
    d_bgcolor, d_align, d_valign, d_fontsize, d_fontcolor, d_fontstyle,
    rel_title, rel_view_id, img_width, img_height) VALUES
  (1, 1, 'i1', '120', 'navy', 'l', 'b', '5', '000000', '2', 'FFFFEE', 'c', 'm', '2', 'FF0000', '3',
   '関連タイトル', '7', '640', '480'),
  (1, 1, 'i5', '', '', '', '', '', '', '', '', '', '', '', '', '', NULL, '', NULL, NULL),
  (1, 1, 'i7', '80', 'EEF2FF', 'c', 'm', '3', '333333', '1', 'FFFFFF', 'l', 't', '3', '333333', '0',
   NULL, NULL, NULL, NULL),
  (1, 1, 'i7', '90', 'EEF2FF', 'c', 'm', '3', '333333', '1', 'FFFFFF', 'r', 't', '3', '333333', '0',
   NULL, NULL, NULL, NULL),
  (1, 2, 'i1', '300', 'EEF2FF', 'c', 'm', '3', '333333', '1', 'FFFFFF', 'l', 't', '3', '333333', '0',
   NULL, NULL, NULL, NULL);

INSERT INTO rv_total (tbl_id, total_id, total_name, tval_type, tval_col_id, tval_sorder,
                      sub1_col_id, sub1_opt, sub1_sorder, sub2_col_id, sub2_opt, sub2_sorder,
                      sub3_col_id, sub3_opt, sub3_sorder, crosstab, crosstab_col_id, crosstab_opt,
                      sort_col, seqno) VALUES
  (1, 1, '月別合計', 'sum', '5', 'd', '7', 'm', 'a', NULL, NULL, NULL, NULL, NULL, NULL,
   '1', '13', '', '5', 2),
  (1, 2, '担当者別件数', 'count', '-1', 'a', '13', '', 'a', '11', '', 'd', NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, 1),
  (2, 1, '顧客別合計', 'sum', '10', 'd', '2', '', 'a', NULL, NULL, NULL, NULL, NULL, NULL,
   NULL, NULL, NULL, NULL, 1);

INSERT INTO rv_tbl_last_id (tbl_id, cname, last_id) VALUES
  (1, 'VIEW', 3),
  (1, 'LAYOUTID', 3);
